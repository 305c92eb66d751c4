// The main window as it starts: layout, texts, fonts, timers, the grid, and the
// window's own small handlers.
#include <QtTest>

#include <QDesktopServices>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>

#include "app_font.h"
#include "bound_label.h"
#include "decimal_spin_edit.h"
#include "main_form.h"
#include "ui_main_form.h"

namespace {

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

QWidget* Control(TMainForm& form, const QString& name) {
  return form.findChild<QWidget*>(name);
}

}  // namespace

class FormWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(RegisterEmbeddedFont()); }

  void startUpState();
  void fixedSizeWithoutMaximise();
  void controlPositions_data();
  void controlPositions();
  void logControlsStayOutOfView();
  void lowestRowShowsWhole();
  void gridColumnsRowsAndTags();
  void gridStartValuesAndRanges();
  void columnHeadingsCentredOverTheirBoxes();
  void fonts();
  void embeddedFontMissingIsSkipped();
  void timers();
  void connectionIconFollowsTheTick();
  void creditLineNeedsLeftShift();
  void webLinkOpensTheAddress();
  void closeSetsClosing();
  void showsCentred();
  void tabOrder();
  void destroyedWhileAnEditIsInProgress();
};

void FormWindowTest::startUpState() {
  TMainForm form(nullptr);
  QCOMPARE(form.windowTitle(), QStringLiteral("Vorlane  V.1.02"));
  QCOMPARE(form.DevVendorId, 0x11C0);
  QCOMPARE(form.DevProductCode, 0xF332);
  QVERIFY(form.ProductName.isEmpty());
  QVERIFY(form.CurDevice == nullptr);
  QCOMPARE(form.FeatureLen, 0);
  QCOMPARE(form.LangIndex, 0);
  QVERIFY(!form.Calibrated);
  QVERIFY(!form.Closing);
  QVERIFY(std::ranges::all_of(form.Session.Report(), [](auto b) { return b == 0; }));

  auto& ui = form.controls();
  QVERIFY(!ui.cbLog->isChecked());
  QVERIFY(ui.RadioButton1->isChecked());
  QVERIFY(!ui.RadioButton2->isChecked());
  QCOMPARE(ui.sLabelFX3->text(), QStringLiteral("Flightstick not connected"));
  QCOMPARE(ui.sLabel1->text(), QStringLiteral("Deadzone start"));
  QCOMPARE(ui.sButton1->text(), QStringLiteral("Save"));
  QCOMPARE(ui.sImage2->imageIndex(), 2);
  QCOMPARE(ui.sLabel4->text(), QStringLiteral("Not Calibrated"));
  QCOMPARE(ui.img_Target->imageIndex(), 2);  // until the first tick
  QCOMPARE(ui.sBitBtn3->text(), QStringLiteral("Clear"));
  QCOMPARE(ui.cbLog->text(), QStringLiteral("Log"));
  QCOMPARE(ui.btnStart->text(), QStringLiteral("Bootloader"));
  QVERIFY(ui.sMemo1->toPlainText().isEmpty());
}

void FormWindowTest::fixedSizeWithoutMaximise() {
  TMainForm form(nullptr);
  QCOMPARE(form.size(), QSize(679, TMainForm::kClientHeight));
  QCOMPARE(form.minimumSize(), form.maximumSize());
  const Qt::WindowFlags flags = form.windowFlags();
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(flags & Qt::WindowMinimizeButtonHint);
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(flags & Qt::WindowSystemMenuHint);
  QVERIFY(!form.windowIcon().isNull());
}

void FormWindowTest::controlPositions_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("geometry");  // width -1: a label that sizes itself to its text
  const auto row = [](const char* name, int x, int y, int w, int h) {
    QTest::newRow(name) << QString::fromLatin1(name) << QRect(x, y, w, h);
  };
  row("GroupBox2", 8, 8, 377, 33);
  row("sLabelFX3", 13, 8, 324, 24);
  row("img_Target", 352, 12, 16, 16);
  row("sImage2", 392, 20, 16, 16);
  row("sLabel4", 416, 20, -1, -1);
  row("RadioButton1", 528, 21, 65, 17);
  row("RadioButton2", 600, 21, 73, 17);
  row("sButton1", 520, 64, 153, 33);
  row("sLabel1", 8, 84, -1, -1);
  row("sLabel2", 8, 112, -1, -1);
  row("sButton2", 520, 112, 153, 33);
  row("sLabel3", 8, 138, -1, -1);
  row("Label2", 536, 168, -1, -1);
  row("sHTMLLabel1", 8, 171, -1, -1);
}

void FormWindowTest::controlPositions() {
  QFETCH(QString, name);
  QFETCH(QRect, geometry);
  TMainForm form(nullptr);
  form.show();
  QWidget* control = Control(form, name);
  QVERIFY(control != nullptr);
  QVERIFY(control->isVisible());
  QCOMPARE(control->pos(), geometry.topLeft());
  if (geometry.width() >= 0) {
    QCOMPARE(control->size(), geometry.size());
  } else {
    QCOMPARE(control->size(), control->sizeHint());  // sized to its text
  }
  // Everything shown lies inside the window.
  const QRect inWindow(control->mapTo(&form, QPoint(0, 0)), control->size());
  QVERIFY2(form.rect().contains(inWindow), qPrintable(name));
}

void FormWindowTest::logControlsStayOutOfView() {
  TMainForm form(nullptr);
  form.show();
  for (const char* name : {"sBitBtn3", "cbLog", "sMemo1", "btnStart"}) {
    QWidget* control = Control(form, QString::fromLatin1(name));
    QVERIFY(control != nullptr);
    QVERIFY2(!form.rect().intersects(control->geometry()), name);
    QVERIFY2(control->isVisibleTo(&form) && control->isEnabled(), name);
  }
  QCOMPARE(form.controls().btnStart->focusPolicy(), Qt::NoFocus);
  QVERIFY(form.controls().sMemo1->focusPolicy() != Qt::NoFocus);
}

void FormWindowTest::lowestRowShowsWhole() {
  TMainForm form(nullptr);
  for (QWidget* label : {static_cast<QWidget*>(form.controls().Label2),
                         static_cast<QWidget*>(form.controls().sHTMLLabel1)}) {
    QVERIFY(label->geometry().bottom() < form.height());
  }
}

void FormWindowTest::gridColumnsRowsAndTags() {
  TMainForm form(nullptr);
  form.show();
  const int left[8] = {120, 217, 314, 411, 413, 605, 702, 799};
  for (int a = 0; a < 8; ++a) {
    const bool shown = a <= 2 || a == 4;
    for (const vorlane::ParamKind kind : vorlane::kParamKinds) {
      const int k = vorlane::KindNumber(kind);
      DecimalSpinEdit* box = form.paramEdit(a, kind);
      QVERIFY(box != nullptr);
      QCOMPARE(form.ParamEdits[std::size_t(a * 3 + k)], box);  // the list runs axis by axis
      QCOMPARE(box->parentWidget(), &form);
      QCOMPARE(box->x(), left[a]);
      QCOMPARE(box->y(), 73 + 30 * k);
      QCOMPARE(box->width(), 75);
      QCOMPARE(box->isVisible(), shown);
      QCOMPARE(box->Tag(), k + 10 * a);
      QCOMPARE(box->alignment(), Qt::AlignCenter);
      if (shown) QVERIFY(form.rect().contains(box->geometry()));
    }
  }
  QCOMPARE(form.ParamEdits[14]->Tag(), 42);
}

void FormWindowTest::gridStartValuesAndRanges() {
  TMainForm form(nullptr);
  for (int a = 0; a < 8; ++a) {
    for (const vorlane::ParamKind kind : {vorlane::ParamKind::DeadZoneStart, vorlane::ParamKind::DeadZoneEnd}) {
      DecimalSpinEdit* box = form.paramEdit(a, kind);
      QCOMPARE(double(box->Value()), 0.0);
      QCOMPARE(box->text(), QStringLiteral("0.0"));
      QCOMPARE(double(box->MinValue()), 0.0);
      QCOMPARE(double(box->MaxValue()), 25.0);
      QCOMPARE(box->Increment(), static_cast<long double>(0.1));
      QCOMPARE(box->DecimalPlaces(), 1);
    }
    DecimalSpinEdit* resolution = form.paramEdit(a, vorlane::ParamKind::Resolution);
    QCOMPARE(double(resolution->Value()), 8.0);
    QCOMPARE(resolution->text(), QStringLiteral("8"));
    QCOMPARE(double(resolution->MinValue()), 8.0);
    QCOMPARE(double(resolution->MaxValue()), a < 2 ? 12.0 : 10.0);
    QCOMPARE(double(resolution->Increment()), 1.0);
    QCOMPARE(resolution->DecimalPlaces(), 0);
  }
}

void FormWindowTest::columnHeadingsCentredOverTheirBoxes() {
  TMainForm form(nullptr);
  form.show();
  const char* captions[8] = {"X axis", "Y axis", "X rotation (rudder)", nullptr,
                             "Z axis (throttle)", " Rudder", " Left Brake", " Right Brake"};
  for (int a = 0; a < 8; ++a) {
    DecimalSpinEdit* box = form.paramEdit(a, vorlane::ParamKind::DeadZoneStart);
    if (captions[a] == nullptr) {
      QVERIFY(!box->hasBoundLabel() || box->boundLabel()->caption().isEmpty());
      continue;
    }
    BoundLabel* label = box->boundLabel();
    QCOMPARE(label->caption(), QString::fromLatin1(captions[a]));
    QCOMPARE(label->isVisible(), box->isVisible());
    if (!box->isVisible()) continue;
    QCOMPARE(label->x(), box->x() + (box->width() - label->width()) / 2);
    QCOMPARE(label->geometry().bottom() + 1, box->y() - 3);
    QVERIFY(form.rect().contains(label->geometry()));
  }
  // The rows below the first carry no heading.
  QVERIFY(!form.ParamEdits[1]->hasBoundLabel() || !form.ParamEdits[1]->boundLabel()->isVisible());
}

void FormWindowTest::fonts() {
  TMainForm form(nullptr);
  QCOMPARE(form.font().family(), QString::fromLatin1(kWindowFontFamily));
  QCOMPARE(form.font().pixelSize(), 13);
  QCOMPARE(QFontInfo(form.font()).family(), QString::fromLatin1(kWindowFontFamily));
  // Buttons and the grid follow the window's font; the link and the log keep their own.
  QCOMPARE(form.controls().sButton1->font().family(), QString::fromLatin1(kWindowFontFamily));
  QCOMPARE(form.ParamEdits[0]->font().family(), QString::fromLatin1(kWindowFontFamily));
  QCOMPARE(form.ParamEdits[0]->font().pixelSize(), 13);
  QCOMPARE(form.controls().Label2->font().family(), QStringLiteral("MS Sans Serif"));
  QVERIFY(form.controls().Label2->font().underline());
  QCOMPARE(form.controls().sMemo1->font().family(), QStringLiteral("MS Sans Serif"));
  // The headings keep the window's first font, at 8 points.
  BoundLabel* heading = form.ParamEdits[0]->boundLabel();
  QCOMPARE(heading->font().family(), QStringLiteral("MS Sans Serif"));
  QCOMPARE(heading->font().pixelSize(), 11);
}

void FormWindowTest::embeddedFontMissingIsSkipped() {
  QVERIFY(!RegisterEmbeddedFont(QStringLiteral(":/no-such-font")));
  TMainForm form(nullptr);  // opens normally
  QCOMPARE(form.windowTitle(), QStringLiteral("Vorlane  V.1.02"));
  QVERIFY(QFontDatabase::families().contains(QString::fromLatin1(kWindowFontFamily)));
}

void FormWindowTest::timers() {
  TMainForm form(nullptr);
  QCOMPARE(form.Timer1->interval(), 25);
  QVERIFY(form.Timer1->isActive());
  QCOMPARE(form.Timer3->interval(), 100);
  QVERIFY(!form.Timer3->isActive());
}

void FormWindowTest::connectionIconFollowsTheTick() {
  TMainForm form(nullptr);
  QSignalSpy redraws(form.controls().img_Target, &ImageView::imageIndexChanged);
  QTRY_COMPARE_WITH_TIMEOUT(form.controls().img_Target->imageIndex(), 1, 1000);
  QTest::qWait(100);  // several more ticks without a change
  QCOMPARE(redraws.size(), 1);
}

void FormWindowTest::creditLineNeedsLeftShift() {
  TMainForm form(nullptr);
  bool leftShift = false;
  form.LeftShiftDown = [&leftShift] { return leftShift; };
  const QString copyright = form.controls().sHTMLLabel1->text();

  QTest::mouseClick(form.controls().sHTMLLabel1, Qt::LeftButton);
  QCOMPARE(form.controls().sHTMLLabel1->text(), copyright);

  leftShift = true;
  QTest::mouseClick(form.controls().sHTMLLabel1, Qt::LeftButton);
  const QString credit = form.controls().sHTMLLabel1->text();
  QVERIFY(credit != copyright);
  QVERIFY(!credit.isEmpty());

  leftShift = false;  // nothing restores the copyright line
  QTest::mouseClick(form.controls().sHTMLLabel1, Qt::LeftButton);
  QCOMPARE(form.controls().sHTMLLabel1->text(), credit);
}

void FormWindowTest::webLinkOpensTheAddress() {
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
  TMainForm form(nullptr);
  QTest::mouseClick(form.controls().Label2, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  QCOMPARE(recorder.urls.size(), 1);
  QCOMPARE(recorder.urls.first().host(), form.controls().Label2->text());
}

void FormWindowTest::closeSetsClosing() {
  TMainForm form(nullptr);
  form.show();
  QVERIFY(!form.Closing);
  form.close();
  QVERIFY(form.Closing);
}

void FormWindowTest::showsCentred() {
  TMainForm form(nullptr);
  form.showCentred();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  const QPoint offset = form.frameGeometry().center() - form.screen()->availableGeometry().center();
  QVERIFY2(std::abs(offset.x()) <= 2 && std::abs(offset.y()) <= 2, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

void FormWindowTest::tabOrder() {
  TMainForm form(nullptr);
  QStringList expected = {"cbLog", "sBitBtn3", "sMemo1", "sButton1", "sButton2",
                          "RadioButton1", "RadioButton2"};
  for (int i = 0; i < 24; ++i) expected << QStringLiteral("ParamEdits%1").arg(i);

  QStringList chain;
  QWidget* widget = form.controls().cbLog;
  do {
    if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName())) {
      chain << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != form.controls().cbLog);
  QCOMPARE(chain, expected);
  // The log out of view passes Tab on instead of taking it as text.
  QVERIFY(form.controls().sMemo1->tabChangesFocus());
}

// A window may be destroyed without being closed; a box that loses the focus as the
// window goes must not call into the part of the window already destroyed (the
// sanitizer build catches such a call).
void FormWindowTest::destroyedWhileAnEditIsInProgress() {
  auto form = std::make_unique<TMainForm>(nullptr);
  form->show();
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
  DecimalSpinEdit* box = form->ParamEdits[0];
  box->setFocus();
  QTRY_VERIFY(box->hasFocus());
  QTest::keyClicks(box, QStringLiteral("7"));
  QVERIFY(box->text() != QStringLiteral("0.0"));  // typed, not yet rewritten
  form.reset();
}

QTEST_MAIN(FormWindowTest)
#include "tst_form_window.moc"
