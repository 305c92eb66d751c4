// A message-only window that hears of HID devices arriving and leaving.
#pragma once

#include <functional>
#include <string_view>

#include "win32_hid.h"

namespace vorlane::win {

// Calls changed from the message loop of the thread that created it whenever the
// system reports HID devices added or removed. Reports that arrive before the call
// has been made are folded into it; removed is called at once for each device
// interface reported removed, with its path, so that no removal is lost in the fold.
class DeviceChangeWindow {
 public:
  explicit DeviceChangeWindow(std::function<void()> changed,
                              std::function<void(std::wstring_view path)> removed = {});
  ~DeviceChangeWindow();

  DeviceChangeWindow(const DeviceChangeWindow&) = delete;
  DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::function<void()> changed_;
  std::function<void(std::wstring_view path)> removed_;
  HINSTANCE module_ = nullptr;
  bool classRegistered_ = false;
  HWND window_ = nullptr;
  HDEVNOTIFY notification_ = nullptr;
  bool callPending_ = false;
};

}  // namespace vorlane::win
