#include "stick_descriptor.h"

#include <stdexcept>

#include "config_report.h"

namespace virtualstick {

std::vector<std::uint8_t> StickReportDescriptor(std::size_t featureLength) {
  if (featureLength == 0 || featureLength > 0xFFFF) {
    throw std::invalid_argument("feature length must lie in 1..65535");
  }
  std::vector<std::uint8_t> d = {
      0x05, 0x01,                    // Usage Page (Generic Desktop)
      0x09, 0x04,                    // Usage (Joystick)
      0xA1, 0x01,                    // Collection (Application)
      0x85, kJoystickReportId,       //   Report ID
      0x09, 0x01,                    //   Usage (Pointer)
      0xA1, 0x00,                    //   Collection (Physical)
      0x09, 0x30, 0x09, 0x31,        //     Usage (X), Usage (Y)
      0x15, 0x00, 0x26, 0xFF, 0x00,  //     Logical Minimum (0), Logical Maximum (255)
      0x75, 0x08, 0x95, 0x02,        //     Report Size (8), Report Count (2)
      0x81, 0x02,                    //     Input (Data, Variable, Absolute)
      0xC0,                          //   End Collection
      0x05, 0x09,                    //   Usage Page (Button)
      0x19, 0x01, 0x29, 0x08,        //   Usage Minimum (1), Usage Maximum (8)
      0x15, 0x00, 0x25, 0x01,        //   Logical Minimum (0), Logical Maximum (1)
      0x75, 0x01, 0x95, 0x08,        //   Report Size (1), Report Count (8)
      0x81, 0x02,                    //   Input (Data, Variable, Absolute)
      0x06, 0x00, 0xFF,              //   Usage Page (Vendor Defined 0xFF00)
      0x85, vorlane::REPORT_ID_CONFIG,  // Report ID
      0x09, 0x01,                    //   Usage (1)
      0x15, 0x00, 0x26, 0xFF, 0x00,  //   Logical Minimum (0), Logical Maximum (255)
      0x75, 0x08,                    //   Report Size (8)
  };
  if (featureLength <= 0xFF) {
    d.insert(d.end(), {0x95, static_cast<std::uint8_t>(featureLength)});  // Report Count
  } else {
    d.insert(d.end(), {0x96, static_cast<std::uint8_t>(featureLength & 0xFF),
                       static_cast<std::uint8_t>(featureLength >> 8)});
  }
  d.insert(d.end(), {
      0xB1, 0x02,                    //   Feature (Data, Variable, Absolute)
      0xC0,                          // End Collection
  });
  return d;
}

}  // namespace virtualstick
