// A HidDevice whose feature reports go straight to a StickModel, for tests of the
// window's report protocol that need no controller.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>
#include <vector>

#include "hid_device.h"
#include "stick_model.h"

class ModelDevice : public vorlane::HidDevice {
 public:
  vorlane::StickModel stick;
  bool failGets = false;
  bool failSets = false;
  // Sizes handed to each transfer, in order.
  std::vector<std::size_t> setSizes;
  std::vector<std::size_t> getSizes;

  std::string ClassGuidText() const override { return vorlane::kHidClassGuidText; }
  vorlane::HidAttributes Attributes() const override { return {0x11C0, 0x5606, 0x0100}; }
  vorlane::HidCaps GetCaps() override { return {}; }
  std::u16string GetProductName() override { return u"Test stick"; }
  bool HasReadWriteAccess() override { return true; }

  vorlane::TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
    setSizes.push_back(size);
    if (size == 0 || failSets) return vorlane::TransferResult::SystemFailed(EPIPE);
    stick.SetFeature({buffer, size});
    return vorlane::TransferResult::Done(size);
  }
  vorlane::TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override {
    getSizes.push_back(size);
    if (size == 0 || failGets) return vorlane::TransferResult::SystemFailed(EPIPE);
    const std::size_t got = stick.GetFeature({buffer, size});
    if (got == 0) return vorlane::TransferResult::SystemFailed(EPIPE);
    return vorlane::TransferResult::Done(got);
  }
};
