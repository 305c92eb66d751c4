#include "win_device_watch.h"

#include <utility>

namespace vorlane::win {

namespace {

constexpr wchar_t kWindowClassName[] = L"VorlaneDeviceChangeWindow";
// Posted to ourselves so that changed runs from the message loop, not from inside the
// system's device broadcast.
constexpr UINT kCallChangedMessage = WM_APP + 1;

bool IsInterfaceEvent(LPARAM lParam) {
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
}

}  // namespace

DeviceChangeWindow::DeviceChangeWindow(std::function<void()> changed)
    : changed_(std::move(changed)) {
  // The module that holds the window procedure, whether it is linked into a program
  // or a library.
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&DeviceChangeWindow::WindowProc), &module_);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &DeviceChangeWindow::WindowProc;
  windowClass.hInstance = module_;
  windowClass.lpszClassName = kWindowClassName;
  classRegistered_ = RegisterClassExW(&windowClass) != 0;
  if (!classRegistered_ && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;

  window_ = CreateWindowExW(0, kWindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            module_, this);
  if (window_ == nullptr) return;

  // A message-only window takes no part in broadcasts, so the general "devices changed"
  // message may never reach it; the events of the HID interface class it registers for
  // here do.
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  HidD_GetHidGuid(&filter.dbcc_classguid);
  notification_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

DeviceChangeWindow::~DeviceChangeWindow() {
  if (notification_ != nullptr) UnregisterDeviceNotification(notification_);
  if (window_ != nullptr) DestroyWindow(window_);
  if (classRegistered_) UnregisterClassW(kWindowClassName, module_);
}

LRESULT CALLBACK DeviceChangeWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<DeviceChangeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->handle(window, message, wParam, lParam);
}

LRESULT DeviceChangeWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE: {
      const bool devicesChanged =
          wParam == DBT_DEVNODES_CHANGED ||
          ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) &&
           IsInterfaceEvent(lParam));
      if (devicesChanged && !callPending_)
        callPending_ = PostMessageW(window, kCallChangedMessage, 0, 0) != 0;
      return TRUE;
    }
    case kCallChangedMessage:
      callPending_ = false;
      if (changed_) changed_();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace vorlane::win
