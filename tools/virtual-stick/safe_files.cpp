#include "safe_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace virtualstick {
namespace {

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::system_error Failure(int error, std::string_view what, const std::string& path,
                          const std::string_view text) {
  return std::system_error(error, std::generic_category(),
                           std::string(what) + " " + path + ": " + std::string(text));
}

// Why the file that st describes may not be written over; empty when it may.
// A character device is never emptied, so it may be written.
std::string_view Refusal(const struct stat& st, bool deviceAllowed) {
  if (S_ISLNK(st.st_mode)) {
    return "is a symbolic link, refused";
  }
  if (S_ISCHR(st.st_mode) && deviceAllowed) {
    return {};
  }
  if (!S_ISREG(st.st_mode)) {
    return "is not a regular file, refused";
  }
  if (st.st_uid != geteuid()) {
    return "belongs to another user, refused";
  }
  if (st.st_nlink > 1) {
    return "has other hard links, refused";
  }
  return {};
}

int RefusalError(const struct stat& st) {
  return S_ISLNK(st.st_mode) ? ELOOP : S_ISREG(st.st_mode) ? EPERM : EINVAL;
}

// False with errno set when a write failed.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno != EINTR) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  }
  return true;
}

}  // namespace

std::FILE* OpenOwnFileForWriting(const std::string& path, std::string_view what) {
  // Not truncated on open: only once the file is known to be ours. O_NONBLOCK keeps a
  // FIFO without a reader from stopping the open; it is refused below.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    if (error == ELOOP && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      throw Failure(error, what, path, Refusal(st, true));
    }
    throw Failure(error, what, path, "cannot open");
  }
  FdCloser closer(fd);
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    throw Failure(errno, what, path, "cannot inspect");
  }
  if (const std::string_view refusal = Refusal(st, true); !refusal.empty()) {
    throw Failure(RefusalError(st), what, path, refusal);
  }
  if (S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
    throw Failure(errno, what, path, "cannot empty");
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    throw Failure(errno, what, path, "cannot set to blocking writes");
  }
  std::FILE* file = fdopen(fd, "w");
  if (!file) {
    throw Failure(errno, what, path, "cannot open");
  }
  closer.release();
  return file;
}

void ReplaceOwnFile(const std::string& path, std::string_view contents, std::string_view what) {
  const std::filesystem::path target(path);
  if (!target.has_filename()) {
    throw Failure(EISDIR, what, path, "names no file");
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (const std::string_view refusal = Refusal(st, false); !refusal.empty()) {
      throw Failure(RefusalError(st), what, path, refusal);
    }
  } else if (errno != ENOENT) {
    throw Failure(errno, what, path, "cannot inspect");
  }

  // Made with O_EXCL under a name nobody can guess, in the same directory, so that
  // rename() puts it in place in one step. rename() does not follow a symbolic link
  // that someone might put at path meanwhile: it replaces the link itself.
  const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
  std::string temporary = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    throw Failure(errno, what, path, "cannot create a temporary file beside it");
  }
  try {
    FdCloser closer(fd);
    if (fchmod(fd, 0644) != 0 || !WriteAll(fd, contents) || close(closer.release()) != 0) {
      const int error = errno;
      throw Failure(error, what, path, "cannot write the temporary file " + temporary);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
      const int error = errno;
      throw Failure(error, what, path, "cannot put the temporary file " + temporary + " in its place");
    }
  } catch (...) {
    unlink(temporary.c_str());
    throw;
  }
}

}  // namespace virtualstick
