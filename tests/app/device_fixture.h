// A main window over a simulated set of HID devices, with a recorder in place of the
// protocol's blocking pauses, and the simulated devices the tests plug.
#pragma once

#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decimal_spin_edit.h"
#include "main_form.h"
#include "sim_backend.h"
#include "ui_main_form.h"

inline constexpr char16_t kStickName[] = u"Vorlane Test Stick";

inline vorlane::SimDevice Stick(std::shared_ptr<vorlane::StickModel> model,
                                std::uint16_t featureLength = 64,
                                std::u16string name = kStickName) {
  vorlane::SimDevice device;
  device.attributes = {0x11C0, 0x5606, 0x0100};
  device.featureReportByteLength = featureLength;
  device.productString = std::move(name);
  device.stick = std::move(model);
  return device;
}

inline vorlane::SimDevice Keyboard() {
  vorlane::SimDevice device;
  device.attributes = {0x1234, 0x0001, 0x0100};
  device.featureReportByteLength = 2;
  device.productString = u"Keyboard";
  return device;
}

struct DeviceFixture {
  vorlane::SimBackend* sim = nullptr;  // owned by the window's controller
  std::unique_ptr<TMainForm> form;
  std::vector<int> pauses;

  // Devices plugged by setUp are present before the window exists.
  explicit DeviceFixture(const std::function<void(vorlane::SimBackend&)>& setUp = {}) {
    auto backend = std::make_unique<vorlane::SimBackend>();
    sim = backend.get();
    if (setUp) setUp(*sim);
    form = std::make_unique<TMainForm>(std::move(backend));
    form->Sleep = [this](int ms) { pauses.push_back(ms); };
  }

  Ui::TMainForm& ui() { return form->controls(); }
  QString status() { return ui().sLabelFX3->text(); }
  double value(int axis, vorlane::ParamKind kind) {
    return double(form->paramEdit(axis, kind)->Value());
  }

  // Lets the queued first scan, the ticks and the 100 ms read happen.
  static void settle(int ms = 250) { QTest::qWait(ms); }
};

