// The configuration report protocol as the window uses it: the buttons and the
// connect-time read go through the stick session, the answer fills the grid, and every
// transfer is traced and every failure shown.
#include <QCheckBox>
#include <QPlainTextEdit>

#include "decimal_spin_edit.h"
#include "main_form.h"
#include "ui_main_form.h"

using namespace vorlane;

StepResult TMainForm::ShortCMD(std::uint16_t command, std::uint8_t group) {
  return Session.ShortCommand(command, group);
}

bool TMainForm::preCMD() { return Session.PreCommand().status != StepStatus::NoStick; }

void TMainForm::Read_Param_DZ() {
  const ReadResult read = Session.ReadParams();
  // Only a complete answer reaches the display and the grid.
  if (read.answer) {
    Calibrated = read.answer->calibrated;
    ShowCalibrated();
    for (const ParamKind kind : kParamKinds) {
      for (int a = 0; a < kAxisCount; ++a) {
        paramEdit(a, kind)->SetValue(ParamFromByte(kind, read.answer->block[ParamBlockIndex(a, kind)]));
      }
    }
  }
  noteStep(read, LinkFault::ReadFailed);
}

void TMainForm::Write_Param_DZ() {
  ParamBlock block{};
  for (const ParamKind kind : kParamKinds) {
    for (int a = 0; a < kAxisCount; ++a) {
      block[ParamBlockIndex(a, kind)] = ParamToByte(kind, paramEdit(a, kind)->Value());
    }
  }
  noteStep(Session.WriteParams(block), LinkFault::SaveFailed);
}

void TMainForm::ShowData(const std::uint8_t* bytes, std::uint16_t count, TraceDirection direction,
                         const QString& note) {
  if (!ui->cbLog->isChecked()) return;
  const std::string line = TraceLine({bytes, count}, direction);
  ui->sMemo1->appendPlainText(
      QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())) + note);
}

void TMainForm::traceTransfer(std::span<const std::uint8_t> bytes, TraceDirection direction,
                              const TransferResult& result) {
  const QString note =
      result.ok ? QString() : QStringLiteral("FAILED: ") + QString::fromStdString(result.message);
  ShowData(bytes.data(), static_cast<std::uint16_t>(bytes.size()), direction, note);
}

void TMainForm::sButton1Click() { Write_Param_DZ(); }

void TMainForm::sButton2Click() {
  noteStep(ShortCMD(CMD_LOAD_DEFAULTS, CMD_GROUP), LinkFault::DefaultsFailed);
}

void TMainForm::btnStartClick() { noteStep(Session.Bootloader(), LinkFault::BootloaderFailed); }
