// An opened HID device interface: capabilities, product string and feature reports
// through hid.dll.
#pragma once

#include "hid_backend.h"
#include "win_handles.h"

namespace vorlane::win {

class WinHidDeviceIo final : public HidDeviceIo {
 public:
  WinHidDeviceIo(UniqueFileHandle handle, bool readWrite);

  bool readWrite() const override { return readWrite_; }
  HidCaps caps() override;
  std::u16string productString() override;
  // HidD_GetFeature fills the whole buffer or fails, so a get that succeeds has
  // received size bytes. A failure keeps GetLastError().
  TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override;
  TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override;

 private:
  UniqueFileHandle handle_;
  bool readWrite_;
  // Fetched on the first capability query that succeeds, kept until the device closes.
  UniquePreparsedData preparsed_;
};

struct OpenedDevice {
  UniqueFileHandle handle;  // empty when the path could not be opened at all
  bool readWrite = false;
};

// Opens a device interface path shared for reading and writing: read-write where
// allowed, else without access rights.
OpenedDevice OpenDevicePath(const wchar_t* path);

}  // namespace vorlane::win
