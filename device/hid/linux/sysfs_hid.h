// What the HID layer reads of a device in sysfs, turned into the values the
// controller works with. Pure functions: the caller fetches the texts and bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "hid_device.h"

namespace vorlane::linux_hid {

// The vendor and product ids of a "hid" device's HID_ID property, written by the
// kernel as bus, vendor and product in hex: "BBBB:VVVVVVVV:PPPPPPPP". Either letter
// case is accepted. Nothing when the text has another form, or when an id does not
// fit in 16 bits (a virtual device may declare 32-bit ids, which cutting down could
// make look like another device). VersionNumber stays 0.
std::optional<HidAttributes> ParseHidId(std::string_view hidId);

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
