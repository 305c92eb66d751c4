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
  ParamEdits[0]->boundLabel()->setCaption(QString::fromLatin1(t.axisX));
  ParamEdits[3]->boundLabel()->setCaption(QString::fromLatin1(t.axisY));
  ParamEdits[6]->boundLabel()->setCaption(QString::fromLatin1(t.axisTwist));
  ParamEdits[12]->boundLabel()->setCaption(QString::fromLatin1(t.axisThrottle));
  if (CurDevice == nullptr) {
    ui->sLabelFX3->setText(QString::fromLatin1(t.notConnected));
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
