#include "sim_backend.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <utility>

namespace vorlane {

struct SimEntry {
  std::string path;
  SimDevice device;
  bool plugged = true;
  unsigned appearance = 0;
  unsigned announcements = 0;
  int openCount = 0;
  int openNow = 0;
  int openThisAppearance = 0;
};

namespace {

// An io opened on a simulated device. Once the device is pulled every operation fails.
class SimDeviceIo final : public HidDeviceIo {
 public:
  explicit SimDeviceIo(std::shared_ptr<SimEntry> entry)
      : entry_(std::move(entry)), readWrite_(entry_->device.readWrite), appearance_(entry_->appearance) {
    ++entry_->openNow;
    ++entry_->openThisAppearance;
  }
  ~SimDeviceIo() override {
    --entry_->openNow;
    if (!Stale()) --entry_->openThisAppearance;
  }
  SimDeviceIo(const SimDeviceIo&) = delete;
  SimDeviceIo& operator=(const SimDeviceIo&) = delete;

  bool readWrite() const override { return readWrite_; }

  HidCaps caps() override {
    HidCaps caps;
    if (!Dead()) caps.FeatureReportByteLength = entry_->device.featureReportByteLength;
    return caps;
  }

  std::u16string productString() override {
    return Dead() ? std::u16string() : entry_->device.productString;
  }

  // The stick receives exactly size bytes; its verdict is the result.
  TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
    if (TransferResult refused = Refusal(entry_->device.failSets, buffer, size); !refused.ok)
      return refused;
    if (!entry_->device.stick->SetFeature(std::span(buffer, size))) return TransferResult::SystemFailed(EPIPE);
    return TransferResult::Done(size);
  }

  // The stick fills at most size bytes, or answerBytes when set; a failing get leaves
  // the buffer untouched.
  TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override {
    if (entry_->device.beforeGet) entry_->device.beforeGet();
    const SimDevice& device = entry_->device;
    if (TransferResult refused = Refusal(device.failGets, buffer, size); !refused.ok) return refused;
    std::vector<std::uint8_t> answer(buffer, buffer + size);
    std::size_t filled = std::min(device.stick->GetFeature(answer), size);
    if (device.answerBytes) filled = std::min(filled, *device.answerBytes);
    if (filled == 0) return TransferResult::SystemFailed(EPIPE);
    std::copy_n(answer.begin(), filled, buffer);
    return TransferResult::Done(filled);
  }

 private:
  // Why a transfer cannot go through, as the system would say it; ok when it can.
  TransferResult Refusal(bool failing, const std::uint8_t* buffer, std::size_t size) const {
    const SimDevice& device = entry_->device;
    if (Dead()) return TransferResult::SystemFailed(ENODEV);
    if (!readWrite_ || buffer == nullptr || size == 0) return TransferResult::SystemFailed(EINVAL);
    if (!device.stick || failing) return TransferResult::SystemFailed(EPIPE);
    return TransferResult::Done(0);
  }

  // Opened on an appearance of the device that has since been pulled.
  bool Stale() const { return entry_->appearance != appearance_; }
  // Pulled since it was opened, even when plugged again: a handle of the device as it
  // was then.
  bool Dead() const { return !entry_->plugged || Stale(); }

  std::shared_ptr<SimEntry> entry_;
  // As with a real node, the rights it was opened with.
  const bool readWrite_;
  const unsigned appearance_;
};

}  // namespace

SimBackend::SimBackend() = default;
SimBackend::~SimBackend() = default;

std::string SimBackend::Plug(SimDevice device, Announce announce) {
  auto entry = std::make_shared<SimEntry>();
  entry->path = "sim:hid/" + std::to_string(nextId_++);
  entry->device = std::move(device);
  entries_.push_back(entry);
  Announced(announce);
  return entry->path;
}

void SimBackend::Pull(const std::string& path, Announce announce) {
  At(path).plugged = false;
  Announced(announce);
}

void SimBackend::Replug(const std::string& path, Announce announce) {
  SimEntry& entry = At(path);
  if (!entry.plugged) {
    entry.plugged = true;
    ++entry.appearance;
    entry.announcements = 0;
    entry.openThisAppearance = 0;
    // A device plugged again comes last in the scan order.
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&entry](const auto& e) { return e.get() == &entry; });
    std::rotate(it, it + 1, entries_.end());
  }
  Announced(announce);
}

void SimBackend::Reannounce(const std::string& path, Announce announce) {
  ++At(path).announcements;
  Announced(announce);
}

void SimBackend::Notify() {
  if (changed_) changed_();
}

SimDevice& SimBackend::Device(const std::string& path) { return At(path).device; }

int SimBackend::OpenCount(const std::string& path) const { return At(path).openCount; }

bool SimBackend::IsOpen(const std::string& path) const { return At(path).openNow > 0; }

bool SimBackend::IsOpenFromEarlierAppearance(const std::string& path) const {
  const SimEntry& entry = At(path);
  return entry.openNow > entry.openThisAppearance;
}

std::vector<std::string> SimBackend::OpenedPaths() const {
  std::vector<std::string> paths;
  for (const auto& entry : entries_) {
    if (entry->openCount > 0) paths.push_back(entry->path);
  }
  return paths;
}

std::optional<std::vector<HidDeviceInfo>> SimBackend::scan() {
  ++scanCount_;
  if (failScans_) return std::nullopt;
  std::vector<HidDeviceInfo> found;
  for (const auto& entry : entries_) {
    if (entry->plugged) {
      found.push_back({entry->path, entry->device.classGuidText, entry->device.attributes,
                       entry->appearance, entry->announcements});
    }
  }
  return found;
}

std::unique_ptr<HidDeviceIo> SimBackend::open(const HidDeviceInfo& device) {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&device](const auto& e) { return e->path == device.path; });
  if (it == entries_.end()) return nullptr;
  SimEntry& entry = **it;
  ++entry.openCount;
  if (!entry.plugged || !entry.device.openable) return nullptr;
  return std::make_unique<SimDeviceIo>(*it);
}

void SimBackend::watch(std::function<void()> changed) { changed_ = std::move(changed); }

SimEntry& SimBackend::At(const std::string& path) const {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&path](const auto& e) { return e->path == path; });
  if (it == entries_.end()) throw std::out_of_range("no simulated device at " + path);
  return **it;
}

void SimBackend::Announced(Announce announce) {
  if (announce == Announce::Now) Notify();
}

}  // namespace vorlane
