#include "hidraw_device_io.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vorlane {

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

HidrawDeviceIo::HidrawDeviceIo(int fd, HidCaps caps, std::u16string productString)
    : fd_(fd), caps_(caps), productString_(std::move(productString)) {}

HidrawDeviceIo::~HidrawDeviceIo() {
  // Retrying close() after EINTR could close a descriptor opened meanwhile elsewhere.
  if (fd_ >= 0) ::close(fd_);
}

bool HidrawDeviceIo::readWrite() const { return fd_ >= 0; }

HidCaps HidrawDeviceIo::caps() { return caps_; }

std::u16string HidrawDeviceIo::productString() { return productString_; }

bool HidrawDeviceIo::setFeature(const std::uint8_t* buffer, std::size_t size) {
  if (fd_ < 0 || !buffer || !TransferSizeFits(size)) return false;
  return IoctlRetryingOnSignal(fd_, HIDIOCSFEATURE(size), buffer) >= 0;
}

bool HidrawDeviceIo::getFeature(std::uint8_t* buffer, std::size_t size) {
  if (fd_ < 0 || !buffer || !TransferSizeFits(size)) return false;
  return IoctlRetryingOnSignal(fd_, HIDIOCGFEATURE(size), buffer) > 0;
}

}  // namespace vorlane
