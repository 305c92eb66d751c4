// A HID device as the controller lends it to the program.
#pragma once

#include <cstdint>
#include <string>

#include "feature_transport.h"
#include "hid_attributes.h"

namespace vorlane {

// The part of a device's capability record that the program reads.
struct HidCaps {
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
  // Length of the feature reports in bytes, the report id byte included.
  std::uint16_t FeatureReportByteLength = 0;
};

// Feature reports (SetFeature, GetFeature) go through the device only while it is
// present and held; otherwise they fail without a transfer.
class HidDevice : public FeatureTransport {
 public:
  // Known from the moment the device is listed; asking for them opens nothing.
  virtual std::string ClassGuidText() const = 0;
  virtual HidAttributes Attributes() const = 0;

  // These open the device on first use, and only while it is present and held.
  // Zero-filled caps when they cannot be read.
  virtual HidCaps GetCaps() = 0;
  // The product string, cut at the first NUL; empty when it cannot be read.
  virtual std::u16string GetProductName() = 0;
  // False when the system denies this user reading and writing the device (no access
  // rights), or when it cannot be opened at all (gone, not held): transfers then fail.
  // A device that the system refuses to open for another reason (busy, out of
  // descriptors, an I/O error) is not short of access: its transfers fail and say why.
  virtual bool HasReadWriteAccess() = 0;
};

}  // namespace vorlane
