// The Win32, SetupAPI and HID declarations this layer uses, in one place.
#pragma once

#include <windows.h>

#include <dbt.h>
#include <setupapi.h>

// The mingw-w64 HID headers declare their functions without C linkage; wrapped here
// so that C++ callers link against hid.dll's plain names.
extern "C" {
#include <hidsdi.h>
}
