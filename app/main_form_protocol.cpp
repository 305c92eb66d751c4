// The configuration report protocol: every report the program sends to the stick,
// and the one answer it reads back.
#include <QCheckBox>
#include <QPlainTextEdit>

#include "decimal_spin_edit.h"
#include "main_form.h"
#include "ui_main_form.h"

using namespace vorlane;

namespace {
// Both lines of a parameter read show this many bytes, whatever the feature length.
constexpr std::uint16_t kReadTraceBytes = 32;
}  // namespace

void TMainForm::ShortCMD(std::uint16_t command, std::uint8_t group) {
  ComposeShortCommand(Report, command, group);
  if (CurDevice == nullptr) return;
  CurDevice->SetFeature(Report.data(), FeatureLen);
  ShowData(Report.data(), FeatureLen, TraceDirection::Sent);
}

bool TMainForm::preCMD() {
  Sleep(5);
  if (CurDevice == nullptr) return false;
  ShortCMD(CMD_PRE, CMD_GROUP);
  return true;
}

void TMainForm::Read_Param_DZ() {
  ComposeReadRequest(Report);
  if (CurDevice == nullptr) return;
  CurDevice->SetFeature(Report.data(), FeatureLen);
  ShowData(Report.data(), kReadTraceBytes, TraceDirection::Sent);
  Sleep(10);
  const bool answered = CurDevice->GetFeature(Report.data(), FeatureLen);
  ShowData(Report.data(), kReadTraceBytes, TraceDirection::Received);
  // Without an answer the buffer still holds the request (or whatever the failed
  // transfer left): taking it as the stick's block would show invented values, and a
  // later save would write them over the stick's real ones.
  if (!answered) return;

  Calibrated = AnswerCalibrated(Report);
  ShowCalibrated();
  for (int k = 0; k < kParamKindCount; ++k) {
    for (int a = 0; a < kAxisCount; ++a) {
      ParamEdits[a * 3 + k]->SetValue(ParamFromByte(k, Report[ParamReportOffset(a, k)]));
    }
  }
}

void TMainForm::Write_Param_DZ() {
  ParamBlock block{};
  for (int k = 0; k < kParamKindCount; ++k) {
    for (int a = 0; a < kAxisCount; ++a) {
      block[ParamBlockIndex(a, k)] = ParamToByte(k, ParamEdits[a * 3 + k]->Value());
    }
  }
  ComposeWriteParams(Report, block);
  if (CurDevice == nullptr) return;
  CurDevice->SetFeature(Report.data(), FeatureLen);
  ShowData(Report.data(), FeatureLen, TraceDirection::Sent);
}

void TMainForm::ShowData(const std::uint8_t* bytes, std::uint16_t count, TraceDirection direction) {
  if (!ui->cbLog->isChecked()) return;
  const std::string line = TraceLine({bytes, count}, direction);
  ui->sMemo1->appendPlainText(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

void TMainForm::sButton1Click() { Write_Param_DZ(); }

void TMainForm::sButton2Click() { ShortCMD(CMD_LOAD_DEFAULTS, CMD_GROUP); }

void TMainForm::btnStartClick() {
  if (!preCMD()) return;
  Sleep(10);
  ShortCMD(CMD_BOOT_A, CMD_GROUP);
  Sleep(10);
  ShortCMD(CMD_BOOT_B, CMD_GROUP);
  Sleep(2000);
}
