// Owners for the Win32 handles of this layer: each closes its handle exactly once.
#pragma once

#include <utility>

#include "win32_hid.h"

namespace vorlane::win {

// Traits: the handle type, its "no handle" value and how it is released.
template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }

  void reset(Type value = Traits::Invalid()) {
    if (*this) Traits::Release(value_);
    value_ = value;
  }
  Type release() { return std::exchange(value_, Traits::Invalid()); }

 private:
  Type value_ = Traits::Invalid();
};

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(Type handle) { CloseHandle(handle); }
};

struct DeviceInfoListTraits {
  using Type = HDEVINFO;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(Type list) { SetupDiDestroyDeviceInfoList(list); }
};

struct PreparsedDataTraits {
  using Type = PHIDP_PREPARSED_DATA;
  static Type Invalid() { return nullptr; }
  static void Release(Type data) { HidD_FreePreparsedData(data); }
};

using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueDeviceInfoList = UniqueResource<DeviceInfoListTraits>;
using UniquePreparsedData = UniqueResource<PreparsedDataTraits>;

}  // namespace vorlane::win
