#include "recording_backend.h"

#include "scoped_effective_user.h"

namespace {

class RecordingIo final : public vorlane::HidDeviceIo {
 public:
  RecordingIo(std::unique_ptr<vorlane::HidDeviceIo> io, RecordingBackend& backend)
      : io_(std::move(io)), backend_(backend) {}

  bool readWrite() const override { return io_->readWrite(); }
  bool accessDenied() const override { return io_->accessDenied(); }
  vorlane::HidCaps caps() override { return io_->caps(); }
  std::u16string productString() override { return io_->productString(); }
  vorlane::TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
    return note(true, io_->SetFeature(buffer, size));
  }
  vorlane::TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override {
    return note(false, io_->GetFeature(buffer, size));
  }

 private:
  vorlane::TransferResult note(bool set, vorlane::TransferResult result) {
    backend_.transfers.push_back({set, result.ok, RecordingBackend::Clock::now()});
    return result;
  }

  std::unique_ptr<vorlane::HidDeviceIo> io_;
  RecordingBackend& backend_;
};

}  // namespace

RecordingBackend::RecordingBackend(std::unique_ptr<vorlane::HidBackend> platform)
    : platform_(std::move(platform)) {}

std::optional<std::vector<vorlane::HidDeviceInfo>> RecordingBackend::scan() { return platform_->scan(); }

std::unique_ptr<vorlane::HidDeviceIo> RecordingBackend::open(const vorlane::HidDeviceInfo& device) {
  std::unique_ptr<vorlane::HidDeviceIo> io;
  {
    ScopedEffectiveUser user(openAs);
    if (!user.ok()) return nullptr;
    io = platform_->open(device);
  }
  opens.push_back(Clock::now());
  if (afterOpen) afterOpen();
  if (!io) return nullptr;
  return std::make_unique<RecordingIo>(std::move(io), *this);
}

void RecordingBackend::watch(std::function<void()> changed) { platform_->watch(std::move(changed)); }
