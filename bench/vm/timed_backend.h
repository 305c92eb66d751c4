// A HidBackend around another that notes how long its scans and opens take on the
// UI thread; everything passes through unchanged.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "hid_backend.h"

class TimedBackend final : public vorlane::HidBackend {
 public:
  explicit TimedBackend(std::unique_ptr<vorlane::HidBackend> inner) : inner_(std::move(inner)) {}

  std::optional<std::vector<vorlane::HidDeviceInfo>> scan() override {
    const auto from = std::chrono::steady_clock::now();
    auto found = inner_->scan();
    scanMs.push_back(Ms(std::chrono::steady_clock::now() - from));
    return found;
  }
  std::unique_ptr<vorlane::HidDeviceIo> open(const vorlane::HidDeviceInfo& device) override {
    const auto from = std::chrono::steady_clock::now();
    auto io = inner_->open(device);
    openMs.push_back(Ms(std::chrono::steady_clock::now() - from));
    return io;
  }
  void watch(std::function<void()> changed) override { inner_->watch(std::move(changed)); }

  std::vector<double> scanMs;
  std::vector<double> openMs;

 private:
  static double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  }
  std::unique_ptr<vorlane::HidBackend> inner_;
};
