#include "uhid_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace virtualstick {
namespace {

std::system_error SystemError(const char* what) {
  return std::system_error(errno, std::generic_category(), what);
}

}  // namespace

UhidDevice::UhidDevice(const UhidIdentity& identity, std::span<const std::uint8_t> descriptor) {
  uhid_event event{};
  uhid_create2_req& create = event.u.create2;
  if (identity.name.size() >= sizeof create.name || descriptor.size() > sizeof create.rd_data) {
    throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                            "device name or report descriptor too long");
  }
  fd_ = open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    throw SystemError("cannot open /dev/uhid");
  }
  event.type = UHID_CREATE2;
  std::copy(identity.name.begin(), identity.name.end(), create.name);
  create.rd_size = static_cast<std::uint16_t>(descriptor.size());
  std::copy(descriptor.begin(), descriptor.end(), create.rd_data);
  create.bus = identity.bus;
  create.vendor = identity.vendorId;
  create.product = identity.productId;
  try {
    Write(event);
  } catch (...) {
    close(fd_);
    throw;
  }
}

UhidDevice::~UhidDevice() {
  uhid_event event{};
  event.type = UHID_DESTROY;
  // Closing the descriptor destroys the device as well; the explicit request only
  // makes the order plain.
  [[maybe_unused]] ssize_t written = write(fd_, &event, sizeof event);
  close(fd_);
}

void UhidDevice::Read(uhid_event& event) {
  ssize_t n;
  do {
    n = read(fd_, &event, sizeof event);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    throw SystemError("cannot read from /dev/uhid");
  }
  if (static_cast<std::size_t>(n) < sizeof event.type) {
    throw std::system_error(std::make_error_code(std::errc::io_error), "short read from /dev/uhid");
  }
}

void UhidDevice::Write(const uhid_event& event) {
  ssize_t n;
  do {
    n = write(fd_, &event, sizeof event);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    throw SystemError("cannot write to /dev/uhid");
  }
}

}  // namespace virtualstick
