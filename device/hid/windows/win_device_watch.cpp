#include "win_device_watch.h"

#include <algorithm>
#include <cstddef>
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

// The device interface path of an interface event; it ends at its NUL or at the end of
// the record as the system sized it.
std::wstring_view InterfacePathOf(LPARAM lParam) {
  const auto* event = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
  constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  if (event->dbcc_size <= kNameOffset) return {};
  const std::size_t maxUnits = (event->dbcc_size - kNameOffset) / sizeof(wchar_t);
  const wchar_t* begin = event->dbcc_name;
  return std::wstring_view(begin, static_cast<std::size_t>(std::find(begin, begin + maxUnits, L'\0') - begin));
}

}  // namespace

DeviceChangeWindow::DeviceChangeWindow(std::function<void()> changed,
                                       std::function<void(std::wstring_view path)> removed)
    : changed_(std::move(changed)), removed_(std::move(removed)) {
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
      if (wParam == DBT_DEVICEREMOVECOMPLETE && IsInterfaceEvent(lParam) && removed_) {
        const std::wstring_view path = InterfacePathOf(lParam);
        if (!path.empty()) removed_(path);
      }
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
