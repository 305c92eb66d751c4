// What the HID layer reads of a device in sysfs, turned into the values the
// controller works with. Pure functions: the caller fetches the texts and bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "hid_device.h"
#include "hid_id.h"

namespace vorlane::linux_hid {

// UTF-8 text (as sysfs gives strings) in UTF-16; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// A device's product string: the "product" attribute of its USB device when it has
// one (null when it has not), otherwise the name the HID layer gives it (HID_NAME,
// null when unknown, which gives an empty string).
std::u16string ProductString(const char* usbProduct, const char* hidName);

// FeatureReportByteLength of a device with this report descriptor: 0 when it has no
// feature report, or when the length does not fit the 16-bit field.
std::uint16_t FeatureReportByteLengthOf(std::span<const std::uint8_t> descriptor);

}  // namespace vorlane::linux_hid
