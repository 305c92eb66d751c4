// What the end-to-end tests of the window share: report bytes as a virtual stick logs
// them, the window's status line, and a check of the grid against a block.
#pragma once

#include <QByteArray>
#include <QLabel>
#include <QList>
#include <QString>
#include <QTest>

#include <algorithm>
#include <array>
#include <span>

#include "config_report.h"
#include "decimal_spin_edit.h"
#include "main_form.h"
#include "ui_main_form.h"

namespace e2e {

inline const QString kNotConnected = QStringLiteral("Flightstick not connected");

inline QString Hex(const vorlane::ParamBlock& block) {
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(block.data()), block.size()).toHex());
}

// The pre-command and the read request as a stick with this feature length (report id
// included) receives them.
inline QList<QByteArray> PreAndRead(int featureLength) {
  std::array<std::uint8_t, vorlane::kReportLayoutSize> pre{};
  vorlane::ComposeShortCommand(pre, vorlane::CMD_PRE, vorlane::CMD_GROUP);
  std::array<std::uint8_t, vorlane::kReportLayoutSize> read{};
  vorlane::ComposeReadRequest(read);
  return {QByteArray(reinterpret_cast<const char*>(pre.data()), featureLength),
          QByteArray(reinterpret_cast<const char*>(read.data()), featureLength)};
}

inline QString Status(TMainForm& form) { return form.controls().sLabelFX3->text(); }

// Every box shows what its range makes of the block's byte.
inline bool GridShows(TMainForm& form, const vorlane::ParamBlock& block) {
  for (const vorlane::ParamKind k : vorlane::kParamKinds) {
    for (int a = 0; a < vorlane::kAxisCount; ++a) {
      DecimalSpinEdit* box = form.paramEdit(a, k);
      const long double expected = std::clamp(vorlane::ParamFromByte(k, block[vorlane::ParamBlockIndex(a, k)]),
                                              box->MinValue(), box->MaxValue());
      if (box->Value() != expected) return false;
    }
  }
  return true;
}

}  // namespace e2e
