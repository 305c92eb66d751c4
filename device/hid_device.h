// A HID device as the controller lends it to the program.
#pragma once

#include <cstdint>
#include <string>

namespace vorlane {

// The setup class of HID devices, upper case, braces included.
inline constexpr char kHidClassGuidText[] = "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";

struct HidAttributes {
  std::uint16_t VendorID = 0;
  std::uint16_t ProductID = 0;
  std::uint16_t VersionNumber = 0;
};

// The part of a device's capability record that the program reads.
struct HidCaps {
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
  // Length of the feature reports in bytes, the report id byte included.
  std::uint16_t FeatureReportByteLength = 0;
};

class HidDevice {
 public:
  virtual ~HidDevice() = default;

  // Known from the moment the device is listed; asking for them opens nothing.
  virtual std::string ClassGuidText() const = 0;
  virtual HidAttributes Attributes() const = 0;

  // These open the device on first use, and only while it is present and held.
  // Zero-filled caps when they cannot be read.
  virtual HidCaps GetCaps() = 0;
  // The product string, cut at the first NUL; empty when it cannot be read.
  virtual std::u16string GetProductName() = 0;
  // False when the device could be opened only without read and write access
  // (or not at all): transfers will then fail.
  virtual bool HasReadWriteAccess() = 0;

  // One feature report: byte 0 of buffer is the report id. True when the system
  // accepted the report (set) or a report was received (get).
  virtual bool SetFeature(std::uint8_t* buffer, int size) = 0;
  virtual bool GetFeature(std::uint8_t* buffer, int size) = 0;
};

}  // namespace vorlane
