// A HID device made through /dev/uhid: the kernel treats it as a plugged-in device
// and passes the host's requests to this process as events.
#pragma once

#include <linux/uhid.h>

#include <cstdint>
#include <span>
#include <string>

namespace virtualstick {

struct UhidIdentity {
  std::string name;
  std::uint16_t bus = 0;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

class UhidDevice {
 public:
  // Opens /dev/uhid and creates the device. Throws std::system_error.
  UhidDevice(const UhidIdentity& identity, std::span<const std::uint8_t> descriptor);
  // Destroys the device: for the host it is unplugged.
  ~UhidDevice();

  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;

  // Readable when an event is waiting.
  int fd() const { return fd_; }
  // Reads one event (blocks until there is one). Throws std::system_error.
  void Read(uhid_event& event);
  // Throws std::system_error.
  void Write(const uhid_event& event);

 private:
  int fd_ = -1;
};

}  // namespace virtualstick
