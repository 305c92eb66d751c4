#include "hid_controller.h"

#include <QMetaObject>
#include <QScopedValueRollback>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace vorlane {

// A listed device. It opens its io lazily, only while present and held, and keeps it
// until it is checked in or found gone.
class HidCtlDevice final : public HidDevice {
 public:
  HidCtlDevice(HidBackend& backend, HidDeviceInfo info)
      : backend_(backend), info_(std::move(info)) {}

  std::string ClassGuidText() const override { return info_.classGuidText; }
  HidAttributes Attributes() const override { return info_.attributes; }

  HidCaps GetCaps() override {
    HidDeviceIo* io = Io();
    return io ? io->caps() : HidCaps{};
  }

  std::u16string GetProductName() override {
    if (productName_.empty()) {
      if (HidDeviceIo* io = Io()) {
        std::u16string name = io->productString();
        productName_ = name.substr(0, name.find(u'\0'));
      }
    }
    return productName_;
  }

  bool HasReadWriteAccess() override {
    HidDeviceIo* io = Io();
    return io && io->readWrite();
  }

  TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
    HidDeviceIo* io = Io();
    return io ? io->SetFeature(buffer, size) : NoTransfer();
  }

  TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override {
    HidDeviceIo* io = Io();
    return io ? io->GetFeature(buffer, size) : NoTransfer();
  }

  const std::string& Path() const { return info_.path; }
  bool Present() const { return present_; }
  bool Held() const { return held_; }

  void Lend() { held_ = true; }
  void Return() {
    held_ = false;
    io_.reset();
  }
  void MarkGone() {
    present_ = false;
    io_.reset();
  }

 private:
  // The open io, opening it on first use; null unless present and held.
  HidDeviceIo* Io() {
    if (!present_ || !held_) return nullptr;
    if (!io_) io_ = backend_.open(info_);
    return io_.get();
  }

  // Why a transfer found no open io.
  TransferResult NoTransfer() const {
    if (!present_) return TransferResult::Failed("the device is gone");
    if (!held_) return TransferResult::Failed("the device is not held");
    return TransferResult::Failed("the device cannot be opened");
  }

  HidBackend& backend_;
  const HidDeviceInfo info_;
  std::unique_ptr<HidDeviceIo> io_;
  std::u16string productName_;
  bool present_ = true;
  bool held_ = false;
};

class HidController::PassScope {
 public:
  explicit PassScope(HidController& controller) : controller_(controller) {
    ++controller_.passDepth_;
  }
  ~PassScope() {
    --controller_.passDepth_;
    controller_.DiscardGone();
  }
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

 private:
  HidController& controller_;
};

HidController::HidController(std::unique_ptr<HidBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {
  if (!backend_) return;
  backend_->watch([this] { DeviceChange(); });
  QMetaObject::invokeMethod(this, [this] { DeviceChange(); }, Qt::QueuedConnection);
}

HidController::~HidController() {
  destroying_ = true;
  {
    PassScope pass(*this);
    const auto onUnplug = OnDeviceUnplug;
    for (std::size_t i = 0; i < devices_.size(); ++i) {
      HidCtlDevice* device = devices_[i].get();
      // A gone device was reported by the re-scan that found it gone.
      if (!device->Held() || !device->Present()) continue;
      device->MarkGone();
      if (onUnplug) onUnplug(device);
    }
  }
  // The devices' io may refer to the backend: free them first. While the backend is
  // destroyed backend_ is already null, so a late notification is dropped.
  devices_.clear();
  backend_.reset();
}

int HidController::Enumerate() {
  const auto onEnumerate = OnEnumerate;
  if (!onEnumerate) return 0;
  PassScope pass(*this);
  int offered = 0;
  // By index: the handler may lend, return or even re-scan, which appends.
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    HidCtlDevice* device = devices_[i].get();
    if (!device->Present()) continue;
    ++offered;
    if (!onEnumerate(device, static_cast<int>(i))) break;
  }
  return offered;
}

bool HidController::CheckOutByIndex(HidDevice*& HidDev, int Idx) {
  HidDev = nullptr;
  if (Idx < 0 || static_cast<std::size_t>(Idx) >= devices_.size()) return false;
  HidCtlDevice* device = devices_[static_cast<std::size_t>(Idx)].get();
  if (!device->Present() || device->Held()) return false;
  device->Lend();
  HidDev = device;
  return true;
}

void HidController::CheckIn(HidDevice*& HidDev) {
  HidCtlDevice* device = Find(HidDev);
  HidDev = nullptr;
  if (!device || !device->Held()) return;
  device->Return();
  DiscardGone();
}

void HidController::DeviceChange() {
  if (!backend_ || rescanning_ || destroying_) return;
  const QScopedValueRollback<bool> rescanning(rescanning_, true);
  Rescan();
}

int HidController::Count() const { return static_cast<int>(devices_.size()); }

void HidController::Rescan() {
  PassScope pass(*this);
  const std::vector<HidDeviceInfo> found = backend_->scan();
  // Paths in hash sets, so that a re-scan costs time in proportion to the number of
  // devices, not to its square. The views point into `found` and into the listed
  // devices, which outlive them.
  std::unordered_set<std::string_view> foundPaths;
  foundPaths.reserve(found.size());
  for (const HidDeviceInfo& info : found) foundPaths.insert(info.path);

  std::vector<HidCtlDevice*> gone;
  std::unordered_set<std::string_view> listedPresent;
  listedPresent.reserve(devices_.size() + found.size());
  for (const auto& device : devices_) {
    if (!device->Present()) continue;
    if (foundPaths.contains(device->Path())) {
      listedPresent.insert(device->Path());
    } else {
      device->MarkGone();
      gone.push_back(device.get());
    }
  }
  bool added = false;
  for (const HidDeviceInfo& info : found) {
    if (!listedPresent.insert(info.path).second) continue;
    devices_.push_back(std::make_unique<HidCtlDevice>(*backend_, info));
    added = true;
  }

  // The pass keeps every device of `gone` alive, even when a handler checks it in.
  const auto onUnplug = OnDeviceUnplug;
  if (onUnplug) {
    for (HidCtlDevice* device : gone) onUnplug(device);
  }

  const bool first = !scannedOnce_;
  scannedOnce_ = true;
  const auto onChange = OnDeviceChange;
  if ((first || added || !gone.empty()) && onChange) onChange();
}

HidCtlDevice* HidController::Find(const HidDevice* device) const {
  if (device == nullptr) return nullptr;
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [device](const auto& listed) { return listed.get() == device; });
  return it == devices_.end() ? nullptr : it->get();
}

void HidController::DiscardGone() {
  if (passDepth_ > 0) return;
  std::erase_if(devices_, [](const auto& device) { return !device->Present() && !device->Held(); });
}

}  // namespace vorlane
