// The report descriptor that the virtual stick presents to the kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace virtualstick {

// Id of the joystick input report (two 8-bit axes, eight buttons).
inline constexpr std::uint8_t kJoystickReportId = 0x01;

// A joystick application collection with the joystick input report and the
// configuration feature report (id 0x59) of featureLength data bytes after its id.
std::vector<std::uint8_t> StickReportDescriptor(std::size_t featureLength);

}  // namespace virtualstick
