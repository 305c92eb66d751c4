// A HidDevice whose feature reports go straight to a StickModel, for tests of the
// window's report protocol that need no controller.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "hid_device.h"
#include "stick_model.h"

class ModelDevice : public vorlane::HidDevice {
 public:
  vorlane::StickModel stick;
  bool failGets = false;
  // Sizes handed to each transfer, in order.
  std::vector<int> setSizes;
  std::vector<int> getSizes;

  std::string ClassGuidText() const override { return vorlane::kHidClassGuidText; }
  vorlane::HidAttributes Attributes() const override { return {0x11C0, 0x5606, 0x0100}; }
  vorlane::HidCaps GetCaps() override { return {}; }
  std::u16string GetProductName() override { return u"Test stick"; }
  bool HasReadWriteAccess() override { return true; }

  bool SetFeature(std::uint8_t* buffer, int size) override {
    setSizes.push_back(size);
    if (size <= 0) return false;
    stick.SetFeature({buffer, static_cast<std::size_t>(size)});
    return true;
  }
  bool GetFeature(std::uint8_t* buffer, int size) override {
    getSizes.push_back(size);
    if (size <= 0 || failGets) return false;
    return stick.GetFeature({buffer, static_cast<std::size_t>(size)}) > 0;
  }
};
