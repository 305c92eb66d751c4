// A main window with no controller backend, a stick that answers through a
// StickModel, and a recorder in place of the protocol's blocking pauses.
#pragma once

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QStringList>

#include <memory>
#include <vector>

#include "decimal_spin_edit.h"
#include "main_form.h"
#include "model_device.h"
#include "ui_main_form.h"

struct FormFixture {
  std::unique_ptr<TMainForm> form = std::make_unique<TMainForm>(nullptr);
  ModelDevice device;
  std::vector<int> pauses;

  explicit FormFixture(std::uint8_t featureLen = 64, bool log = false) {
    form->Sleep = [this](int ms) { pauses.push_back(ms); };
    form->controls().cbLog->setChecked(log);
    connect(featureLen);
  }

  void connect(std::uint8_t featureLen) { form->SetCurDevice(&device, featureLen); }

  // The report buffer of the window's session.
  const auto& report() const { return form->Session.Report(); }

  DecimalSpinEdit* box(int axis, vorlane::ParamKind kind) const { return form->paramEdit(axis, kind); }

  QStringList logLines() const {
    const QString text = form->controls().sMemo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  }
};
