#include "hidraw_device_io.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace vorlane::linux_hid {

namespace {

// The length is a field of the ioctl request number; a longer one would spill into
// the bits that say what the request is.
bool TransferSizeFits(std::size_t size) { return size > 0 && size <= _IOC_SIZEMASK; }

int IoctlRetryingOnSignal(int fd, unsigned long request, const void* argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace

HidrawDeviceIo::HidrawDeviceIo(int fd, int openError, HidCaps caps, std::u16string productString)
    : fd_(fd), openError_(fd >= 0 ? 0 : openError), caps_(caps), productString_(std::move(productString)) {}

HidrawDeviceIo::~HidrawDeviceIo() {
  // Retrying close() after EINTR could close a descriptor opened meanwhile elsewhere.
  if (fd_ >= 0) ::close(fd_);
}

bool HidrawDeviceIo::readWrite() const { return fd_ >= 0; }

bool HidrawDeviceIo::accessDenied() const {
  return fd_ < 0 && (openError_ == EACCES || openError_ == EPERM);
}

HidCaps HidrawDeviceIo::caps() { return caps_; }

std::u16string HidrawDeviceIo::productString() { return productString_; }

TransferResult HidrawDeviceIo::SetFeature(const std::uint8_t* buffer, std::size_t size) {
  return Transfer(HIDIOCSFEATURE(size), buffer, size);
}

TransferResult HidrawDeviceIo::GetFeature(std::uint8_t* buffer, std::size_t size) {
  return Transfer(HIDIOCGFEATURE(size), buffer, size);
}

TransferResult HidrawDeviceIo::Transfer(unsigned long request, const std::uint8_t* buffer,
                                        std::size_t size) {
  if (fd_ < 0) {
    if (openError_ == 0) return TransferResult::Failed("the device is not open for reading and writing");
    TransferResult refused = TransferResult::SystemFailed(openError_);
    refused.message = "the device could not be opened for reading and writing: " + refused.message;
    return refused;
  }
  if (!buffer || !TransferSizeFits(size)) {
    return TransferResult::Failed("a feature report of " + std::to_string(size) +
                                  " bytes cannot be transferred");
  }
  const int result = IoctlRetryingOnSignal(fd_, request, buffer);
  if (result < 0) return TransferResult::SystemFailed(errno);
  return TransferResult::Done(static_cast<std::size_t>(result));
}

}  // namespace vorlane::linux_hid
