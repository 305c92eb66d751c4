// Language switching and the calibrated display.
#include "bound_label.h"
#include "decimal_spin_edit.h"
#include "main_form.h"
#include "texts.h"
#include "ui_main_form.h"

void TMainForm::ChangeLanguage(int langIndex) {
  LangIndex = langIndex;
  const texts::Language& t = texts::ForIndex(LangIndex);
  SetCaption(ui->sLabel1, QString::fromLatin1(t.deadZoneStart));
  SetCaption(ui->sLabel2, QString::fromLatin1(t.deadZoneEnd));
  SetCaption(ui->sLabel3, QString::fromLatin1(t.resolution));
  ui->sButton1->setText(QString::fromLatin1(t.save));
  ui->sButton2->setText(QString::fromLatin1(t.loadDefaults));
  using vorlane::ParamKind;
  paramEdit(0, ParamKind::DeadZoneStart)->boundLabel()->setCaption(QString::fromLatin1(t.axisX));
  paramEdit(1, ParamKind::DeadZoneStart)->boundLabel()->setCaption(QString::fromLatin1(t.axisY));
  paramEdit(2, ParamKind::DeadZoneStart)->boundLabel()->setCaption(QString::fromLatin1(t.axisTwist));
  paramEdit(4, ParamKind::DeadZoneStart)->boundLabel()->setCaption(QString::fromLatin1(t.axisThrottle));
  if (CurDevice == nullptr) {
    ui->sLabelFX3->setText(QString::fromLatin1(t.notConnected));
    ui->sLabelFX3->setToolTip(QString());
  } else {
    // The product name stays; what is said after it follows the language.
    showStickStatus();
  }
  ShowCalibrated();
}

void TMainForm::ShowCalibrated() {
  const texts::Language& t = texts::ForIndex(LangIndex);
  if (Calibrated) {
    ui->sImage2->setImageIndex(kDiscGreen);
    SetCaption(ui->sLabel4, QString::fromLatin1(t.calibrated));
  } else {
    ui->sImage2->setImageIndex(kDiscRed);
    SetCaption(ui->sLabel4, QString::fromLatin1(t.notCalibrated));
  }
}

void TMainForm::RadioButton1Click() { ChangeLanguage(0); }

void TMainForm::RadioButton2Click() { ChangeLanguage(1); }
