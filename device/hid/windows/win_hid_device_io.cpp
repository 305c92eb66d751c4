#include "win_hid_device_io.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <utility>

namespace vorlane::win {

namespace {

// Product strings are read into 254 UTF-16 units.
constexpr std::size_t kProductStringUnits = 254;

UniqueFileHandle OpenShared(const wchar_t* path, DWORD access) {
  return UniqueFileHandle(CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
}

bool FitsTransfer(const std::uint8_t* buffer, std::size_t size) {
  return buffer != nullptr && size != 0 && size <= std::numeric_limits<ULONG>::max();
}

TransferResult TooLarge(std::size_t size) {
  return TransferResult::Failed("a feature report of " + std::to_string(size) +
                                " bytes cannot be transferred");
}

}  // namespace

OpenedDevice OpenDevicePath(const wchar_t* path) {
  if (UniqueFileHandle handle = OpenShared(path, GENERIC_READ | GENERIC_WRITE))
    return {std::move(handle), true};
  return {OpenShared(path, 0), false};
}

WinHidDeviceIo::WinHidDeviceIo(UniqueFileHandle handle, bool readWrite)
    : handle_(std::move(handle)), readWrite_(readWrite) {}

HidCaps WinHidDeviceIo::caps() {
  if (!preparsed_) {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!HidD_GetPreparsedData(handle_.get(), &data)) return {};
    preparsed_.reset(data);
  }
  HIDP_CAPS caps{};
  if (HidP_GetCaps(preparsed_.get(), &caps) != HIDP_STATUS_SUCCESS) return {};
  HidCaps result;
  result.InputReportByteLength = caps.InputReportByteLength;
  result.OutputReportByteLength = caps.OutputReportByteLength;
  result.FeatureReportByteLength = caps.FeatureReportByteLength;
  return result;
}

std::u16string WinHidDeviceIo::productString() {
  std::array<wchar_t, kProductStringUnits> text{};
  if (!HidD_GetProductString(handle_.get(), text.data(), sizeof(text))) return {};
  const auto end = std::find(text.begin(), text.end(), L'\0');
  return std::u16string(text.begin(), end);
}

TransferResult WinHidDeviceIo::SetFeature(const std::uint8_t* buffer, std::size_t size) {
  if (!FitsTransfer(buffer, size)) return TooLarge(size);
  // The report is only read; the function's parameter is not const-qualified.
  if (!HidD_SetFeature(handle_.get(), const_cast<std::uint8_t*>(buffer), static_cast<ULONG>(size)))
    return TransferResult::SystemFailed(static_cast<int>(GetLastError()));
  return TransferResult::Done(size);
}

TransferResult WinHidDeviceIo::GetFeature(std::uint8_t* buffer, std::size_t size) {
  if (!FitsTransfer(buffer, size)) return TooLarge(size);
  if (!HidD_GetFeature(handle_.get(), buffer, static_cast<ULONG>(size)))
    return TransferResult::SystemFailed(static_cast<int>(GetLastError()));
  return TransferResult::Done(size);
}

}  // namespace vorlane::win
