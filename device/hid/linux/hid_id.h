// The ids in the HID_ID property that the kernel gives every "hid" device. Plain C++,
// so that the fuzz build (no Qt) takes it as it is.
#pragma once

#include <optional>
#include <string_view>

#include "hid_attributes.h"

namespace vorlane::linux_hid {

// The vendor and product ids of a "hid" device's HID_ID property, written by the
// kernel as bus, vendor and product in hex: "BBBB:VVVVVVVV:PPPPPPPP". Either letter
// case is accepted. Nothing when the text has another form, or when an id does not
// fit in 16 bits (a virtual device may declare 32-bit ids, which cutting down could
// make look like another device). VersionNumber stays 0.
std::optional<HidAttributes> ParseHidId(std::string_view hidId);

}  // namespace vorlane::linux_hid
