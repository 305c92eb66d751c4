// Both languages, the radio buttons that choose them, and the calibrated display.
#include <QtTest>

#include "bound_label.h"
#include "form_fixture.h"

namespace {

struct Expected {
  const char* label1;
  const char* label2;
  const char* label3;
  const char* button1;
  const char* button2;
  const char* heading0;
  const char* heading3;
  const char* heading6;
  const char* heading12;
  const char* notConnected;
  const char* calibrated;
  const char* notCalibrated;
};

constexpr Expected kEnglish = {"Deadzone start", "Deadzone end", "Resolution", "Save",
                               "Load defaults", "X axis", "Y axis", "X rotation (rudder)",
                               "Z axis (throttle)", "Flightstick not connected", "Calibrated",
                               "Not Calibrated"};
constexpr Expected kGerman = {"Deadzone Anfang", "Deadzone Ende", "Aufloesung", "Speichern",
                              "Werkseinstellung laden", "X-Achse", "Y-Achse", "X-Rotation (Ruder)",
                              "Z-Achse (Schub)", "Flightstick nicht angeschlossen", "Kalibriert",
                              "Nicht kalibriert"};

QString L(const char* text) { return QString::fromLatin1(text); }

void VerifyTexts(TMainForm& form, const Expected& e, bool calibrated) {
  auto& ui = form.controls();
  QCOMPARE(ui.sLabel1->text(), L(e.label1));
  QCOMPARE(ui.sLabel2->text(), L(e.label2));
  QCOMPARE(ui.sLabel3->text(), L(e.label3));
  QCOMPARE(ui.sButton1->text(), L(e.button1));
  QCOMPARE(ui.sButton2->text(), L(e.button2));
  QCOMPARE(form.ParamEdits[0]->boundLabel()->caption(), L(e.heading0));
  QCOMPARE(form.ParamEdits[3]->boundLabel()->caption(), L(e.heading3));
  QCOMPARE(form.ParamEdits[6]->boundLabel()->caption(), L(e.heading6));
  QCOMPARE(form.ParamEdits[12]->boundLabel()->caption(), L(e.heading12));
  QCOMPARE(ui.sLabel4->text(), L(calibrated ? e.calibrated : e.notCalibrated));
  QCOMPARE(ui.sImage2->imageIndex(), calibrated ? 0 : 2);
  // Texts that read the same in both languages.
  QCOMPARE(ui.RadioButton1->text(), QStringLiteral("English"));
  QCOMPARE(ui.RadioButton2->text(), QStringLiteral("Deutsch"));
  QCOMPARE(form.ParamEdits[15]->boundLabel()->caption(), QStringLiteral(" Rudder"));
  QCOMPARE(form.ParamEdits[18]->boundLabel()->caption(), QStringLiteral(" Left Brake"));
  QCOMPARE(form.ParamEdits[21]->boundLabel()->caption(), QStringLiteral(" Right Brake"));
  QCOMPARE(form.windowTitle(), QStringLiteral("Vorlane  V.1.02"));
}

}  // namespace

class FormTextsTest : public QObject {
  Q_OBJECT

 private slots:
  void languages_data();
  void languages();
  void radioButtonsSwitchBackAndForth();
  void selectedRadioButtonChangesNothing();
  void connectedStickKeepsItsName();
  void readTurnsTheDisplayRedAgain();
  void headingsStayCentredAfterTheSwitch();
};

void FormTextsTest::languages_data() {
  QTest::addColumn<int>("langIndex");
  QTest::addColumn<bool>("calibrated");
  QTest::newRow("English, not calibrated") << 0 << false;
  QTest::newRow("English, calibrated") << 0 << true;
  QTest::newRow("German, not calibrated") << 1 << false;
  QTest::newRow("German, calibrated") << 1 << true;
}

void FormTextsTest::languages() {
  QFETCH(int, langIndex);
  QFETCH(bool, calibrated);
  TMainForm form(nullptr);
  form.Calibrated = calibrated;
  form.ChangeLanguage(langIndex);
  QCOMPARE(form.LangIndex, langIndex);
  const Expected& e = langIndex == 0 ? kEnglish : kGerman;
  VerifyTexts(form, e, calibrated);
  QCOMPARE(form.controls().sLabelFX3->text(), L(e.notConnected));
}

void FormTextsTest::radioButtonsSwitchBackAndForth() {
  TMainForm form(nullptr);
  form.show();
  QTest::mouseClick(form.controls().RadioButton2, Qt::LeftButton);
  QCOMPARE(form.LangIndex, 1);
  QVERIFY(!form.controls().RadioButton1->isChecked());
  VerifyTexts(form, kGerman, false);
  QCOMPARE(form.controls().sLabelFX3->text(), L(kGerman.notConnected));

  QTest::mouseClick(form.controls().RadioButton1, Qt::LeftButton);
  QCOMPARE(form.LangIndex, 0);
  VerifyTexts(form, kEnglish, false);
}

void FormTextsTest::selectedRadioButtonChangesNothing() {
  TMainForm form(nullptr);
  form.show();
  // A text that a language change would overwrite shows whether one happened.
  form.controls().sLabel1->setText(QStringLiteral("marker"));
  QTest::mouseClick(form.controls().RadioButton1, Qt::LeftButton);
  QCOMPARE(form.controls().sLabel1->text(), QStringLiteral("marker"));
}

void FormTextsTest::connectedStickKeepsItsName() {
  FormFixture f;
  f.form->ProductName = QStringLiteral("Test stick");
  f.form->controls().sLabelFX3->setText(f.form->ProductName);
  f.form->ChangeLanguage(1);
  QCOMPARE(f.form->controls().sLabelFX3->text(), QStringLiteral("Test stick"));
  QCOMPARE(f.form->controls().sLabel4->text(), L(kGerman.notCalibrated));
}

void FormTextsTest::readTurnsTheDisplayRedAgain() {
  FormFixture f;
  f.form->ChangeLanguage(1);
  f.device.stick.SetStatusByte(0x01);
  f.form->Read_Param_DZ();
  QCOMPARE(f.form->controls().sLabel4->text(), QStringLiteral("Kalibriert"));
  QCOMPARE(f.form->controls().sImage2->imageIndex(), 0);

  f.device.stick.SetStatusByte(0x00);
  f.form->Read_Param_DZ();
  QCOMPARE(f.form->controls().sLabel4->text(), QStringLiteral("Nicht kalibriert"));
  QCOMPARE(f.form->controls().sImage2->imageIndex(), 2);
}

void FormTextsTest::headingsStayCentredAfterTheSwitch() {
  TMainForm form(nullptr);
  form.show();
  form.ChangeLanguage(1);
  for (int index : {0, 3, 6, 12}) {
    DecimalSpinEdit* box = form.ParamEdits[index];
    BoundLabel* label = box->boundLabel();
    QCOMPARE(label->x(), box->x() + (box->width() - label->width()) / 2);
  }
}

QTEST_MAIN(FormTextsTest)
#include "tst_form_texts.moc"
