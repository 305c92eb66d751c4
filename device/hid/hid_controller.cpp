#include "hid_controller.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QScopedValueRollback>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

Q_LOGGING_CATEGORY(lcHidController, "vorlane.hid")

namespace vorlane {

// A listed device. It opens its io lazily, only while present and held, and keeps it
// until it is checked in or found gone.
class HidCtlDevice final : public HidDevice {
 public:
  HidCtlDevice(HidBackend& backend, HidDeviceInfo info, std::uint64_t serial)
      : backend_(backend), info_(std::move(info)), serial_(serial) {}

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
    return io && (io->readWrite() || !io->accessDenied());
  }

  TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
    HidDeviceIo* io = Io();
    return io ? io->SetFeature(buffer, size) : NoTransfer();
  }

  TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override {
    HidDeviceIo* io = Io();
    return io ? io->GetFeature(buffer, size) : NoTransfer();
  }

  std::uint64_t Serial() const { return serial_; }
  const std::string& Path() const { return info_.path; }
  bool Present() const { return present_; }
  bool Held() const { return held_; }
  bool IoOpen() const { return io_ != nullptr; }
  // Whether info lists this very appearance of the device.
  bool IsAppearance(const HidDeviceInfo& info) const {
    return info.path == info_.path && info.appearance == info_.appearance;
  }
  // The system announced the device again: its access rights may have changed since
  // it was opened. True when it is lent but its open gave no way to transfer, so that
  // opening it anew may succeed.
  bool AnnouncedAgain(unsigned announcements) {
    if (announcements == info_.announcements) return false;
    info_.announcements = announcements;
    return held_ && openTried_ && !(io_ && io_->readWrite());
  }

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
    if (!io_) {
      openTried_ = true;
      io_ = backend_.open(info_);
    }
    return io_.get();
  }

  // Why a transfer found no open io.
  TransferResult NoTransfer() const {
    if (!present_) return TransferResult::Failed("the device is gone");
    if (!held_) return TransferResult::Failed("the device is not held");
    return TransferResult::Failed("the device cannot be opened");
  }

  HidBackend& backend_;
  HidDeviceInfo info_;
  const std::uint64_t serial_;
  std::unique_ptr<HidDeviceIo> io_;
  std::u16string productName_;
  bool present_ = true;
  bool held_ = false;
  bool openTried_ = false;
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

std::vector<HidController::ListedDevice> HidController::Listed() const {
  std::vector<ListedDevice> listed;
  listed.reserve(devices_.size());
  for (const auto& device : devices_) {
    listed.push_back({device.get(), device->Serial(), device->Path(), device->Present(),
                      device->Held(), device->IoOpen()});
  }
  return listed;
}

void HidController::Rescan() {
  PassScope pass(*this);
  const std::optional<std::vector<HidDeviceInfo>> scanned = backend_->scan();
  if (!scanned) {
    // Nothing is known of the devices now: taking that for "all unplugged" would let
    // go of the stick in use. The next notification scans again.
    qCWarning(lcHidController, "the HID devices could not be listed; the last list is kept");
    return;
  }
  const std::vector<HidDeviceInfo>& found = *scanned;
  // Paths in hash maps, so that a re-scan costs time in proportion to the number of
  // devices, not to its square. The views point into `found` and into the listed
  // devices, which outlive the maps.
  std::unordered_map<std::string_view, const HidDeviceInfo*> foundByPath;
  foundByPath.reserve(found.size());
  for (const HidDeviceInfo& info : found) foundByPath.emplace(info.path, &info);
  const auto isFound = [&foundByPath](const HidCtlDevice& device) {
    const auto it = foundByPath.find(device.Path());
    return it != foundByPath.end() && device.IsAppearance(*it->second);
  };

  std::vector<HidCtlDevice*> gone;
  std::unordered_map<std::string_view, HidCtlDevice*> listedPresent;
  for (const auto& device : devices_) {
    if (!device->Present()) continue;
    if (isFound(*device)) {
      listedPresent.emplace(device->Path(), device.get());
    } else {
      device->MarkGone();
      gone.push_back(device.get());
    }
  }
  bool added = false;
  for (const HidDeviceInfo& info : found) {
    if (const auto it = listedPresent.find(info.path); it != listedPresent.end()) {
      HidCtlDevice* listed = it->second;
      // A lent device that could not be used may be usable now: its holder is told it
      // went and is offered it anew, to open it again.
      if (!listed->AnnouncedAgain(info.announcements)) continue;
      listedPresent.erase(it);
      listed->MarkGone();
      gone.push_back(listed);
    }
    devices_.push_back(std::make_unique<HidCtlDevice>(*backend_, info, ++listedSerial_));
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
