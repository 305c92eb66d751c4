#include "param_files_io.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cli_error.h"

namespace vorlane::cli {

namespace {

// A parameter file has about 1.5 kB.
constexpr std::uintmax_t kLargestFile = 1 << 20;

std::string SystemText() { return std::strerror(errno); }

}  // namespace

std::string ReadTextFile(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) throw BadInput("cannot read " + path + ": " + error.message());
  if (size > kLargestFile) throw BadInput(path + " is too large for a parameter file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BadInput("cannot read " + path + ": " + SystemText());
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw BadInput("cannot read " + path + ": " + SystemText());
  return text;
}

void WriteTextFile(const std::string& path, const std::string& text, bool replace) {
  std::error_code error;
  if (!replace && std::filesystem::exists(path, error)) {
    throw BadInput(path + " exists already; give --force to replace it");
  }
  const std::string part = path + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    if (!out) throw BadInput("cannot write " + part + ": " + SystemText());
    out << text;
    out.close();
    if (!out) {
      const std::string reason = SystemText();
      std::filesystem::remove(part, error);
      throw BadInput("cannot write " + part + ": " + reason);
    }
  }
  std::filesystem::rename(part, path, error);
  if (error) {
    const std::string reason = error.message();
    std::filesystem::remove(part, error);
    throw BadInput("cannot rename " + part + " to " + path + ": " + reason);
  }
}

}  // namespace vorlane::cli
