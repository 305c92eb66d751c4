// An opened hidraw node: feature report transfers through its ioctls, and the
// capabilities and product string read from sysfs when it was opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hid_backend.h"

namespace vorlane::linux_hid {

class HidrawDeviceIo final : public HidDeviceIo {
 public:
  // Takes ownership of fd, the node opened for reading and writing; -1 when it could
  // not be opened so, with openError the errno of that open: every transfer then
  // fails with it.
  HidrawDeviceIo(int fd, int openError, HidCaps caps, std::u16string productString);
  ~HidrawDeviceIo() override;

  HidrawDeviceIo(const HidrawDeviceIo&) = delete;
  HidrawDeviceIo& operator=(const HidrawDeviceIo&) = delete;

  bool readWrite() const override;
  // Only EACCES and EPERM mean that the user may not use the node.
  bool accessDenied() const override;
  HidCaps caps() override;
  std::u16string productString() override;
  // Byte 0 of buffer is the report id. Fails for an empty buffer, or one longer than
  // an ioctl can carry; a failed ioctl keeps its errno. A get gives the number of
  // bytes the kernel returned, which may be fewer than asked for.
  TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override;
  TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override;

 private:
  TransferResult Transfer(unsigned long request, const std::uint8_t* buffer, std::size_t size);

  int fd_;
  int openError_;
  HidCaps caps_;
  std::u16string productString_;
};

}  // namespace vorlane::linux_hid
