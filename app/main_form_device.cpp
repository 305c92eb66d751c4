// Finding the stick among the HID devices, holding it while it is plugged in, and
// letting go of it when it is pulled.
#include <QTimer>

#include "main_form.h"
#include "stick_identity.h"
#include "texts.h"
#include "ui_main_form.h"

using namespace vorlane;

bool TMainForm::HidCtlEnumerate(HidDevice* HidDev, int Idx) {
  // Every offered device is taken and kept; only the current stick is ever given back.
  // A device held since an earlier pass is skipped.
  HidDevice* device = HidDev;
  if (!HidCtl->CheckOutByIndex(device, Idx)) return true;
  if (!IsStick(device->ClassGuidText(), device->Attributes(), DevVendorId, DevProductCode)) {
    return true;
  }
  CurDevice = device;
  FeatureLen = static_cast<std::uint8_t>(device->GetCaps().FeatureReportByteLength & 0xFF);
  ProductName = QString::fromStdU16String(device->GetProductName());
  showProductName();
  if (!Timer3->isActive()) Timer3->start();
  return true;
}

// The status line shows the product name; a stick that may not be opened for reading
// and writing says so, and the tooltip tells how to fix it.
void TMainForm::showProductName() {
  if (CurDevice->HasReadWriteAccess()) {
    ui->sLabelFX3->setText(ProductName);
    ui->sLabelFX3->setToolTip(QString());
  } else {
    ui->sLabelFX3->setText(ProductName + QString::fromLatin1(texts::kNoAccessSuffix));
    ui->sLabelFX3->setToolTip(QString::fromLatin1(texts::kNoAccessHint));
  }
}

void TMainForm::HidCtlDeviceChange() { HidCtl->Enumerate(); }

void TMainForm::HidCtlDeviceUnplug(HidDevice* HidDev) {
  if (HidDev != CurDevice) return;
  CurDevice = nullptr;
  // While the window closes the controller reports the held stick as it is destroyed:
  // then the texts are left alone and the stick is not given back.
  if (Closing) return;
  ChangeLanguage(LangIndex);
  ui->sLabelFX3->setToolTip(QString());
  HidCtl->CheckIn(HidDev);
}

void TMainForm::Timer3Timer() {
  preCMD();
  Timer3->stop();
  Read_Param_DZ();
}

void TMainForm::Timer1Timer() { ui->img_Target->setImageIndex(CurDevice ? kDiscGreen : kDiscGrey); }
