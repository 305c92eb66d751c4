// Finding the stick among the HID devices, holding it while it is plugged in, letting
// go of it when it is pulled, and showing how it is doing.
#include <QTimer>

#include "main_form.h"
#include "stick_identity.h"
#include "texts.h"
#include "ui_main_form.h"

using namespace vorlane;

namespace {

const char* FaultSuffix(const texts::Language& t, TMainForm::LinkFault fault) {
  using LinkFault = TMainForm::LinkFault;
  switch (fault) {
    case LinkFault::ReadFailed: return t.readFailed;
    case LinkFault::SaveFailed: return t.saveFailed;
    case LinkFault::SaveRefused: return t.saveRefused;
    case LinkFault::DefaultsFailed: return t.defaultsFailed;
    case LinkFault::BootloaderFailed: return t.bootloaderFailed;
    case LinkFault::None: break;
  }
  return "";
}

}  // namespace

bool TMainForm::HidCtlEnumerate(HidDevice* HidDev, int Idx) {
  // Every offered device is taken and kept until it is reported unplugged. A device
  // held since an earlier pass is skipped.
  HidDevice* device = HidDev;
  if (!HidCtl->CheckOutByIndex(device, Idx)) return true;
  if (!IsStick(device->ClassGuidText(), device->Attributes(), DevVendorId, DevProductCode)) {
    return true;
  }
  SetCurDevice(device, static_cast<std::uint8_t>(device->GetCaps().FeatureReportByteLength & 0xFF));
  ProductName = QString::fromStdU16String(device->GetProductName());
  showStickStatus();
  if (!Timer3->isActive()) Timer3->start();
  return true;
}

void TMainForm::SetCurDevice(HidDevice* device, std::uint8_t featureLen) {
  CurDevice = device;
  FeatureLen = featureLen;
  if (device) {
    Session.Attach(device, featureLen);
  } else {
    Session.Detach();
  }
  Fault = LinkFault::None;
  FaultDetail.clear();
}

void TMainForm::showStickStatus() {
  const texts::Language& t = texts::ForIndex(LangIndex);
  QString suffix;
  QString tip;
  if (!CurDevice->HasReadWriteAccess()) {
    suffix = QString::fromLatin1(t.noAccess);
    tip = QString::fromLatin1(t.noAccessHint);
  } else if (Fault != LinkFault::None) {
    suffix = QString::fromLatin1(FaultSuffix(t, Fault));
    tip = Fault == LinkFault::SaveRefused ? QString::fromLatin1(t.saveRefusedHint) : FaultDetail;
  }
  ui->sLabelFX3->setText(ProductName + suffix);
  ui->sLabelFX3->setToolTip(tip);
}

void TMainForm::noteStep(const StepResult& step, LinkFault onFailure) {
  switch (step.status) {
    case StepStatus::NoStick:
      return;
    case StepStatus::Done:
      if (Fault == LinkFault::None) return;
      Fault = LinkFault::None;
      FaultDetail.clear();
      break;
    case StepStatus::NotRead:
      Fault = LinkFault::SaveRefused;
      FaultDetail = QString::fromStdString(step.message);
      break;
    case StepStatus::Failed:
      Fault = onFailure;
      FaultDetail = QString::fromStdString(step.message);
      break;
  }
  if (CurDevice) showStickStatus();
}

void TMainForm::HidCtlDeviceChange() { HidCtl->Enumerate(); }

void TMainForm::HidCtlDeviceUnplug(HidDevice* HidDev) {
  const bool current = HidDev == CurDevice;
  if (current) SetCurDevice(nullptr, FeatureLen);
  // While the window closes the controller reports the held devices as it is
  // destroyed: then the texts are left alone and nothing is given back.
  if (Closing) return;
  if (current) ChangeLanguage(LangIndex);
  // Every device reported gone is given back, the stick or not: the controller lists a
  // gone device for as long as it is held.
  HidCtl->CheckIn(HidDev);
}

void TMainForm::Timer3Timer() {
  preCMD();
  Timer3->stop();
  Read_Param_DZ();
}

void TMainForm::Timer1Timer() { ui->img_Target->setImageIndex(CurDevice ? kDiscGreen : kDiscGrey); }
