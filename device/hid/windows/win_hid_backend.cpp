#include "win_hid_backend.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "win32_hid.h"
#include "win_device_watch.h"
#include "win_handles.h"
#include "win_hid_device_io.h"
#include "win_text.h"

namespace vorlane {

namespace win {

namespace {

// The device interface path of one interface, and the device it belongs to.
std::wstring InterfacePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& interfaceData,
                           SP_DEVINFO_DATA& device) {
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailW(list, &interfaceData, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};

  // operator new[] aligns for every fundamental type, so also for the detail record.
  const auto storage = std::make_unique<std::byte[]>(required);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  device.cbSize = sizeof(SP_DEVINFO_DATA);
  if (!SetupDiGetDeviceInterfaceDetailW(list, &interfaceData, detail, required, nullptr, &device))
    return {};

  // The path ends at its NUL, which lies within the record as the system sized it.
  const std::size_t maxUnits =
      (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
  const wchar_t* begin = detail->DevicePath;
  return std::wstring(begin, std::find(begin, begin + maxUnits, L'\0'));
}

// The device's setup class GUID as stored, braces included; empty when unreadable.
std::string ClassGuidText(HDEVINFO list, SP_DEVINFO_DATA& device) {
  std::string text(64, '\0');
  DWORD required = 0;
  bool read = SetupDiGetDeviceRegistryPropertyA(
      list, &device, SPDRP_CLASSGUID, nullptr, reinterpret_cast<BYTE*>(text.data()),
      static_cast<DWORD>(text.size()), &required);
  if (!read && GetLastError() == ERROR_INSUFFICIENT_BUFFER && required > text.size()) {
    text.assign(required, '\0');
    read = SetupDiGetDeviceRegistryPropertyA(list, &device, SPDRP_CLASSGUID, nullptr,
                                             reinterpret_cast<BYTE*>(text.data()),
                                             static_cast<DWORD>(text.size()), &required);
  }
  if (!read) return {};
  text.resize(std::min<std::size_t>(required, text.size()));
  if (const std::size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
  return text;
}

std::optional<HidAttributes> ReadAttributes(const std::wstring& path) {
  const OpenedDevice device = OpenDevicePath(path.c_str());
  if (!device.handle) return std::nullopt;
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof(attributes);
  if (!HidD_GetAttributes(device.handle.get(), &attributes)) return std::nullopt;
  HidAttributes result;
  result.VendorID = attributes.VendorID;
  result.ProductID = attributes.ProductID;
  result.VersionNumber = attributes.VersionNumber;
  return result;
}

// Device interface paths compare without regard to letter case, and the
// notifications do not always spell them as SetupAPI does.
std::string FoldedPath(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

WinHidBackend::WinHidBackend() = default;
WinHidBackend::~WinHidBackend() = default;

std::optional<std::vector<HidDeviceInfo>> WinHidBackend::scan() {
  GUID hidGuid{};
  HidD_GetHidGuid(&hidGuid);
  const UniqueDeviceInfoList list(
      SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!list) return std::nullopt;

  std::vector<HidDeviceInfo> devices;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof(interfaceData);
  for (DWORD index = 0;; ++index) {
    if (!SetupDiEnumDeviceInterfaces(list.get(), nullptr, &hidGuid, index, &interfaceData)) {
      // The end of the list, or a failure that leaves the rest of it unknown.
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
      return std::nullopt;
    }
    SP_DEVINFO_DATA device{};
    const std::wstring path = InterfacePath(list.get(), interfaceData, device);
    if (path.empty()) continue;
    const std::optional<HidAttributes> attributes = ReadAttributes(path);
    if (!attributes) continue;
    std::string utf8Path = Utf8FromWide(path);
    if (utf8Path.empty()) continue;
    devices.push_back({std::move(utf8Path), ClassGuidText(list.get(), device), *attributes});
  }
  appearances_.stamp(devices, FoldedPath);
  return devices;
}

std::unique_ptr<HidDeviceIo> WinHidBackend::open(const HidDeviceInfo& device) {
  const std::wstring path = WideFromUtf8(device.path);
  if (path.empty()) return nullptr;
  OpenedDevice opened = OpenDevicePath(path.c_str());
  if (!opened.handle) return nullptr;
  return std::make_unique<WinHidDeviceIo>(std::move(opened.handle), opened.readWrite);
}

void WinHidBackend::watch(std::function<void()> changed) {
  watcher_.reset();
  watcher_ = std::make_unique<DeviceChangeWindow>(std::move(changed), [this](std::wstring_view path) {
    if (std::string utf8 = Utf8FromWide(path); !utf8.empty()) appearances_.noteRemoved(FoldedPath(utf8));
  });
}

}  // namespace win

std::unique_ptr<HidBackend> CreatePlatformHidBackend() {
  return std::make_unique<win::WinHidBackend>();
}

}  // namespace vorlane
