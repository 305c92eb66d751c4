#include "decimal_spin_edit.h"
#include "decimal_text.h"
#include "long_double_compare.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// The boxes of the grid's three rows (two kinds of resolution box), and a box whose
// range is still 0 to 0.
struct BoxSetup {
  long double min;
  long double max;
  long double increment;
  int decimals;
};
constexpr BoxSetup kDeadZone{0, 25, 0.1, 1};
constexpr BoxSetup kResolutionXY{8, 12, 1, 0};
constexpr BoxSetup kResolution{8, 10, 1, 0};
constexpr BoxSetup kUnbounded{0, 0, 1, 2};

enum class Step { UpKey, DownKey, WheelUp, WheelDown, UpButton, DownButton };

constexpr long double kInfinity = std::numeric_limits<long double>::infinity();

// A box that tells where its arrow buttons are.
class ProbeBox : public DecimalSpinEdit {
 public:
  using DecimalSpinEdit::DecimalSpinEdit;

  QPoint buttonCentre(QStyle::SubControl button) const {
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_SpinBox, &option, button, this).center();
  }
};

}  // namespace

Q_DECLARE_METATYPE(BoxSetup)
Q_DECLARE_METATYPE(Step)

class DecimalSpinEditTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void freshBox();
  void buildSequence_data();
  void buildSequence();
  void setValue_data();
  void setValue();
  void setValueIgnoresNonFinite_data();
  void setValueIgnoresNonFinite();
  void decimalPlaces_data();
  void decimalPlaces();
  void rangeAndIncrementArePlainStores();
  void typing_data();
  void typing();
  void typingEmitsChangedForEachTextChange();
  void keysToTheLineEditAreCheckedToo();
  void pasted_data();
  void pasted();
  void injected_data();
  void injected();
  void injectedIntoUnboundedBoxStaysFinite();
  void stepping_data();
  void stepping();
  void decimalComma();
  void decimalCommaInheritedFromParent();
  void localeChangeRewritesText();
  void shownValueMapsOnlyTheText();
  void parentFont_data();
  void parentFont();
  void heightFollowsFont();
  void widthHintFitsRange();

 private:
  void setUp(const BoxSetup& setup);
  [[nodiscard]] bool focusBox();
  [[nodiscard]] bool focusAway();
  QLineEdit* edit() const { return box_->findChild<QLineEdit*>(); }

  std::unique_ptr<QWidget> window_;
  ProbeBox* box_ = nullptr;
  QLineEdit* other_ = nullptr;
};

void DecimalSpinEditTest::init() {
  window_ = std::make_unique<QWidget>();
  window_->resize(300, 100);
  box_ = new ProbeBox(window_.get());
  box_->setGeometry(10, 10, 75, box_->sizeHint().height());
  other_ = new QLineEdit(window_.get());
  other_->move(150, 10);
  window_->show();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void DecimalSpinEditTest::cleanup() { window_.reset(); }

// A shown-value function decides what the text shows, at once and after every change;
// the stored value stays what was set or typed.
void DecimalSpinEditTest::shownValueMapsOnlyTheText() {
  setUp(kDeadZone);
  box_->SetValue(2.45L);
  box_->SetShownValue([](long double v) { return std::floor(v); });
  QCOMPARE(box_->text(), QStringLiteral("2.0"));
  QCOMPARE(box_->Value(), 2.45L);

  QVERIFY(focusBox());
  QTest::keyClicks(box_, QStringLiteral("7.9"));
  QCOMPARE(box_->text(), QStringLiteral("7.9"));  // left as typed
  QVERIFY(focusAway());
  QCOMPARE(box_->text(), QStringLiteral("7.0"));
  QCOMPARE(box_->Value(), 7.9L);

  box_->SetShownValue({});
  QCOMPARE(box_->text(), QStringLiteral("7.9"));
}

// Range first, then the decimals, which set the value again inside the range.
void DecimalSpinEditTest::setUp(const BoxSetup& setup) {
  box_->SetMinValue(setup.min);
  box_->SetMaxValue(setup.max);
  box_->SetIncrement(setup.increment);
  box_->SetDecimalPlaces(setup.decimals);
}

// Focus on the box with its text selected, so that the first key replaces it.
bool DecimalSpinEditTest::focusBox() {
  box_->setFocus();
  box_->selectAll();
  return box_->hasFocus();
}

bool DecimalSpinEditTest::focusAway() {
  other_->setFocus();
  return !box_->hasFocus();
}

void DecimalSpinEditTest::freshBox() {
  QCOMPARE(box_->Value(), 0.0L);
  QCOMPARE(box_->text(), QStringLiteral("0.00"));
  QCOMPARE(box_->DecimalPlaces(), 2);
  QCOMPARE(box_->MinValue(), 0.0L);
  QCOMPARE(box_->MaxValue(), 0.0L);
  QCOMPARE(box_->Tag(), 0);
  QVERIFY(!box_->hasBoundLabel());
  box_->SetTag(42);
  QCOMPARE(box_->Tag(), 42);
}

void DecimalSpinEditTest::buildSequence_data() {
  QTest::addColumn<BoxSetup>("setup");
  QTest::addColumn<long double>("value");
  QTest::addColumn<QString>("text");

  QTest::newRow("dead zone") << kDeadZone << 0.0L << QStringLiteral("0.0");
  QTest::newRow("resolution of slots 0 and 1") << kResolutionXY << 8.0L << QStringLiteral("8");
  QTest::newRow("resolution of slots 2 to 7") << kResolution << 8.0L << QStringLiteral("8");
}

// The steps the window takes for every box, checked on the way.
void DecimalSpinEditTest::buildSequence() {
  QFETCH(BoxSetup, setup);
  QFETCH(long double, value);
  QFETCH(QString, text);

  box_->SetDecimalPlaces(1);
  QCOMPARE(box_->text(), QStringLiteral("0.0"));
  box_->SetIncrement(0.1);
  box_->SetMinValue(setup.min);
  box_->SetMaxValue(setup.max);
  // The range alone does not touch the value.
  QCOMPARE(box_->Value(), 0.0L);
  QCOMPARE(box_->text(), QStringLiteral("0.0"));
  if (setup.decimals != 1) {
    box_->SetIncrement(setup.increment);
    box_->SetDecimalPlaces(setup.decimals);
  }
  QCOMPARE(box_->Value(), value);
  QCOMPARE(box_->text(), text);
}

void DecimalSpinEditTest::setValue_data() {
  QTest::addColumn<BoxSetup>("setup");
  QTest::addColumn<long double>("input");
  QTest::addColumn<long double>("value");
  QTest::addColumn<QString>("text");

  QTest::newRow("above the dead zone range") << kDeadZone << 25.5L << 25.0L << QStringLiteral("25.0");
  QTest::newRow("below the dead zone range") << kDeadZone << -1.0L << 0.0L << QStringLiteral("0.0");
  QTest::newRow("dead zone maximum") << kDeadZone << 25.0L << 25.0L << QStringLiteral("25.0");
  QTest::newRow("the current value again") << kDeadZone << 0.0L << 0.0L << QStringLiteral("0.0");
  QTest::newRow("0.7 kept and shown") << kDeadZone << 0.7L << 0.7L << QStringLiteral("0.7");
  QTest::newRow("2.45 kept at full precision") << kDeadZone << 2.45L << 2.45L << QStringLiteral("2.5");
  QTest::newRow("the double 0.1 kept as it is")
      << kDeadZone << static_cast<long double>(0.1) << static_cast<long double>(0.1) << QStringLiteral("0.1");
  QTest::newRow("infinity to the maximum") << kDeadZone << kInfinity << 25.0L << QStringLiteral("25.0");
  QTest::newRow("minus infinity to the minimum") << kDeadZone << -kInfinity << 0.0L << QStringLiteral("0.0");
  QTest::newRow("0 into a resolution box") << kResolutionXY << 0.0L << 8.0L << QStringLiteral("8");
  QTest::newRow("13 into a resolution box of 12") << kResolutionXY << 13.0L << 12.0L << QStringLiteral("12");
  QTest::newRow("11 into a resolution box of 12") << kResolutionXY << 11.0L << 11.0L << QStringLiteral("11");
  QTest::newRow("11 into a resolution box of 10") << kResolution << 11.0L << 10.0L << QStringLiteral("10");
  QTest::newRow("12 into a resolution box of 10") << kResolution << 12.0L << 10.0L << QStringLiteral("10");
  QTest::newRow("9.7 kept, shown whole") << kResolution << 9.7L << 9.7L << QStringLiteral("10");
  QTest::newRow("8.5 kept, shown to even") << kResolution << 8.5L << 8.5L << QStringLiteral("8");
  QTest::newRow("no range: stored unchanged") << kUnbounded << 5.0L << 5.0L << QStringLiteral("5.00");
  QTest::newRow("no range: negative") << kUnbounded << -3.5L << -3.5L << QStringLiteral("-3.50");
  QTest::newRow("minimum above maximum: stored unchanged")
      << BoxSetup{10, 5, 1, 1} << 7.0L << 7.0L << QStringLiteral("7.0");
}

void DecimalSpinEditTest::setValue() {
  QFETCH(BoxSetup, setup);
  QFETCH(long double, input);
  QFETCH(long double, value);
  QFETCH(QString, text);

  setUp(setup);
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  box_->SetValue(input);
  QCOMPARE(box_->Value(), value);
  QCOMPARE(box_->text(), text);
  QCOMPARE(changed.count(), 1);
  QCOMPARE(changed.at(0).at(0).value<DecimalSpinEdit*>(), box_);
}

void DecimalSpinEditTest::setValueIgnoresNonFinite_data() {
  QTest::addColumn<BoxSetup>("setup");
  QTest::addColumn<long double>("input");

  QTest::newRow("NaN into a range") << kDeadZone << std::numeric_limits<long double>::quiet_NaN();
  QTest::newRow("NaN without a range") << kUnbounded << std::numeric_limits<long double>::quiet_NaN();
  QTest::newRow("infinity without a range") << kUnbounded << kInfinity;
  QTest::newRow("minus infinity without a range") << kUnbounded << -kInfinity;
}

void DecimalSpinEditTest::setValueIgnoresNonFinite() {
  QFETCH(BoxSetup, setup);
  QFETCH(long double, input);

  setUp(setup);
  box_->SetValue(3);
  const QString text = box_->text();
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  box_->SetValue(input);
  QCOMPARE(box_->Value(), 3.0L);
  QCOMPARE(box_->text(), text);
  QCOMPARE(changed.count(), 0);
}

void DecimalSpinEditTest::decimalPlaces_data() {
  QTest::addColumn<int>("places");
  QTest::addColumn<int>("stored");
  QTest::addColumn<long double>("value");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("emissions");

  // The box holds 20 in a range whose maximum was lowered to 10 afterwards.
  QTest::newRow("same count does nothing") << 1 << 1 << 20.0L << QStringLiteral("20.0") << 0;
  QTest::newRow("new count sets the value again") << 2 << 2 << 10.0L << QStringLiteral("10.00") << 1;
  QTest::newRow("no decimals") << 0 << 0 << 10.0L << QStringLiteral("10") << 1;
  QTest::newRow("negative count as none") << -3 << 0 << 10.0L << QStringLiteral("10") << 1;
  QTest::newRow("count beyond the most")
      << 1000 << vorlane::kMaxDecimalPlaces << 10.0L
      << QStringLiteral("10.") + QString(vorlane::kMaxDecimalPlaces, u'0') << 1;
}

void DecimalSpinEditTest::decimalPlaces() {
  QFETCH(int, places);
  QFETCH(int, stored);
  QFETCH(long double, value);
  QFETCH(QString, text);
  QFETCH(int, emissions);

  setUp(kDeadZone);
  box_->SetValue(20);
  box_->SetMaxValue(10);
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  box_->SetDecimalPlaces(places);
  QCOMPARE(box_->DecimalPlaces(), stored);
  QCOMPARE(box_->Value(), value);
  QCOMPARE(box_->text(), text);
  QCOMPARE(changed.count(), emissions);
}

void DecimalSpinEditTest::rangeAndIncrementArePlainStores() {
  setUp(kDeadZone);
  box_->SetValue(20);
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  box_->SetMinValue(21);
  box_->SetMaxValue(22);
  box_->SetIncrement(0.5);
  QCOMPARE(box_->MinValue(), 21.0L);
  QCOMPARE(box_->MaxValue(), 22.0L);
  QCOMPARE(box_->Increment(), 0.5L);
  QCOMPARE(box_->Value(), 20.0L);
  QCOMPARE(box_->text(), QStringLiteral("20.0"));
  QCOMPARE(changed.count(), 0);
  // The next setting keeps to the new range.
  box_->SetValue(box_->Value());
  QCOMPARE(box_->Value(), 21.0L);
}

void DecimalSpinEditTest::typing_data() {
  QTest::addColumn<BoxSetup>("setup");
  QTest::addColumn<long double>("start");
  QTest::addColumn<QTestEventList>("keys");
  QTest::addColumn<QString>("typedText");
  QTest::addColumn<long double>("value");
  QTest::addColumn<QString>("finalText");

  // Every row starts with the box's text selected, so the first key replaces it.
  const auto keys = [](const char* text) {
    QTestEventList events;
    events.addKeyClicks(QString::fromLatin1(text));
    return events;
  };
  QTestEventList backspace;
  backspace.addKeyClick(Qt::Key_Backspace);
  QTestEventList endBackspace;
  endBackspace.addKeyClick(Qt::Key_End);
  endBackspace.addKeyClick(Qt::Key_Backspace);

  QTest::newRow("30 above the range") << kDeadZone << 0.0L << keys("30") << QStringLiteral("30") << 25.0L
                                      << QStringLiteral("25.0");
  QTest::newRow("2.45 at full precision") << kDeadZone << 0.0L << keys("2.45") << QStringLiteral("2.45")
                                          << 2.45L << QStringLiteral("2.5");
  QTest::newRow("0.7") << kDeadZone << 0.0L << keys("0.7") << QStringLiteral("0.7") << 0.7L
                       << QStringLiteral("0.7");
  QTest::newRow("clearing a resolution box") << kResolution << 10.0L << backspace << QString() << 8.0L
                                             << QStringLiteral("8");
  QTest::newRow("clearing a dead zone box") << kDeadZone << 5.0L << backspace << QString() << 0.0L
                                            << QStringLiteral("0.0");
  QTest::newRow("deleting a digit") << kResolutionXY << 12.0L << endBackspace << QStringLiteral("1") << 8.0L
                                    << QStringLiteral("8");
  QTest::newRow("minus refused in a resolution box") << kResolution << 9.0L << keys("-")
                                                     << QStringLiteral("9") << 9.0L << QStringLiteral("9");
  QTest::newRow("minus taken in a dead zone box") << kDeadZone << 5.0L << keys("-") << QStringLiteral("-")
                                                  << 0.0L << QStringLiteral("0.0");
  QTest::newRow("negative number to the minimum") << kDeadZone << 5.0L << keys("-3") << QStringLiteral("-3")
                                                  << 0.0L << QStringLiteral("0.0");
  QTest::newRow("plus alone counts as 0") << kResolution << 9.0L << keys("+") << QStringLiteral("+") << 8.0L
                                          << QStringLiteral("8");
  QTest::newRow("plus sign") << kDeadZone << 0.0L << keys("+5") << QStringLiteral("+5") << 5.0L
                             << QStringLiteral("5.0");
  QTest::newRow("separator alone counts as 0") << kDeadZone << 5.0L << keys(".") << QStringLiteral(".")
                                               << 0.0L << QStringLiteral("0.0");
  QTest::newRow("letters refused") << kDeadZone << 0.0L << keys("a1b") << QStringLiteral("1") << 1.0L
                                   << QStringLiteral("1.0");
  QTest::newRow("blank refused") << kDeadZone << 0.0L << keys(" 5") << QStringLiteral("5") << 5.0L
                                 << QStringLiteral("5.0");
  QTest::newRow("second separator refused") << kDeadZone << 0.0L << keys("2.5.1") << QStringLiteral("2.51")
                                            << 2.51L << QStringLiteral("2.5");
  QTest::newRow("comma refused under a point locale") << kDeadZone << 0.0L << keys("2,5")
                                                      << QStringLiteral("25") << 25.0L
                                                      << QStringLiteral("25.0");
  QTest::newRow("exponent refused") << kDeadZone << 0.0L << keys("1e3") << QStringLiteral("13") << 13.0L
                                    << QStringLiteral("13.0");
  QTest::newRow("sign after digits refused") << kDeadZone << 0.0L << keys("1-") << QStringLiteral("1")
                                             << 1.0L << QStringLiteral("1.0");
}

void DecimalSpinEditTest::typing() {
  QFETCH(BoxSetup, setup);
  QFETCH(long double, start);
  QFETCH(QTestEventList, keys);
  QFETCH(QString, typedText);
  QFETCH(long double, value);
  QFETCH(QString, finalText);

  setUp(setup);
  box_->SetValue(start);
  QVERIFY(focusBox());
  keys.simulate(box_);
  QCOMPARE(box_->text(), typedText);
  QCOMPARE(box_->Value(), value);
  QVERIFY(focusAway());
  QCOMPARE(box_->text(), finalText);
  QCOMPARE(box_->Value(), value);
}

void DecimalSpinEditTest::typingEmitsChangedForEachTextChange() {
  setUp(kDeadZone);
  QVERIFY(focusBox());
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  QTest::keyClicks(box_, QStringLiteral("12"));
  QCOMPARE(changed.count(), 2);
  QTest::keyClick(box_, Qt::Key_A);  // refused: no change
  QCOMPARE(changed.count(), 2);
  QVERIFY(focusAway());  // "12" becomes "12.0"
  QCOMPARE(changed.count(), 3);
  QVERIFY(focusBox());
  QVERIFY(focusAway());  // the text is already the value's
  QCOMPARE(changed.count(), 3);
}

// Keys sent to the inner line edit miss the box's key handling; the box's validator
// still keeps the text a number.
void DecimalSpinEditTest::keysToTheLineEditAreCheckedToo() {
  setUp(kResolution);
  QVERIFY(focusBox());
  QTest::keyClicks(edit(), QStringLiteral("x-9y"));
  QCOMPARE(box_->text(), QStringLiteral("9"));
  QCOMPARE(box_->Value(), 9.0L);
}

void DecimalSpinEditTest::pasted_data() {
  QTest::addColumn<BoxSetup>("setup");
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("takenOnPaste");
  QTest::addColumn<long double>("value");

  // The box holds 9 before the text arrives; `value` is what it holds once the text
  // is in the box. Text that is no number leaves the value as it was.
  const QString huge(6000, u'9');
  QTest::newRow("number") << kDeadZone << QStringLiteral("12.5") << true << 12.5L;
  QTest::newRow("number above the range") << kDeadZone << QStringLiteral("99") << true << 25.0L;
  QTest::newRow("huge number") << kDeadZone << huge << true << 25.0L;
  QTest::newRow("huge negative number") << kDeadZone << u'-' + huge << true << 0.0L;
  QTest::newRow("tiny number") << kDeadZone << QStringLiteral("0.") + QString(6000, u'0') + u'5' << true
                               << 0.0L;
  QTest::newRow("minus alone") << kDeadZone << QStringLiteral("-") << true << 0.0L;
  QTest::newRow("plus alone") << kResolution << QStringLiteral("+") << true << 8.0L;
  QTest::newRow("letters") << kDeadZone << QStringLiteral("abc") << false << 9.0L;
  QTest::newRow("two separators") << kDeadZone << QStringLiteral("1.2.3") << false << 9.0L;
  QTest::newRow("exponent") << kDeadZone << QStringLiteral("1e999") << false << 9.0L;
  QTest::newRow("nan") << kDeadZone << QStringLiteral("nan") << false << 9.0L;
  QTest::newRow("inf") << kDeadZone << QStringLiteral("inf") << false << 9.0L;
  QTest::newRow("-inf") << kDeadZone << QStringLiteral("-inf") << false << 9.0L;
  QTest::newRow("blanks around") << kDeadZone << QStringLiteral(" 5 ") << false << 9.0L;
  QTest::newRow("comma under a point locale") << kDeadZone << QStringLiteral("2,5") << false << 9.0L;
  QTest::newRow("non-ASCII digit") << kDeadZone << QStringLiteral("\u0663") << false << 9.0L;
  QTest::newRow("negative into a resolution box") << kResolution << QStringLiteral("-5") << false << 8.0L;
}

void DecimalSpinEditTest::pasted() {
  QFETCH(BoxSetup, setup);
  QFETCH(QString, text);
  QFETCH(bool, takenOnPaste);
  QFETCH(long double, value);

  setUp(setup);
  box_->SetValue(9);
  const QString before = box_->text();
  QVERIFY(focusBox());
  QApplication::clipboard()->setText(text);
  QTest::keyClick(box_, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(box_->text(), takenOnPaste ? text : before);
  QCOMPARE(box_->Value(), takenOnPaste ? value : 9.0L);
}

void DecimalSpinEditTest::injected_data() { pasted_data(); }

// Text set on the line edit from outside passes no validator: whatever it is, the
// value stays a number within the range.
void DecimalSpinEditTest::injected() {
  QFETCH(BoxSetup, setup);
  QFETCH(QString, text);
  QFETCH(long double, value);

  setUp(setup);
  box_->SetValue(9);
  QVERIFY(focusBox());
  edit()->setText(text);
  QCOMPARE(box_->text(), text);
  QCOMPARE(box_->Value(), value);
  QVERIFY(focusAway());
  QCOMPARE(box_->text(),
           QString::fromStdString(vorlane::FormatDecimal(value, setup.decimals, ".")));
}

void DecimalSpinEditTest::injectedIntoUnboundedBoxStaysFinite() {
  setUp(kUnbounded);
  box_->SetValue(3);
  edit()->setText(QString(6000, u'9'));
  QCOMPARE(box_->Value(), 3.0L);
  edit()->setText(QStringLiteral("-") + QString(6000, u'9'));
  QCOMPARE(box_->Value(), 3.0L);
  edit()->setText(QStringLiteral("1e9999"));
  QCOMPARE(box_->Value(), 3.0L);
}

void DecimalSpinEditTest::stepping_data() {
  QTest::addColumn<BoxSetup>("setup");
  QTest::addColumn<long double>("start");
  QTest::addColumn<Step>("step");
  QTest::addColumn<long double>("value");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("emissions");

  const long double tenth = 0.1;  // the increment as the window sets it
  QTest::newRow("up key") << kResolution << 8.0L << Step::UpKey << 9.0L << QStringLiteral("9") << 1;
  QTest::newRow("down key") << kResolution << 9.0L << Step::DownKey << 8.0L << QStringLiteral("8") << 1;
  QTest::newRow("wheel up") << kResolution << 8.0L << Step::WheelUp << 9.0L << QStringLiteral("9") << 1;
  QTest::newRow("wheel down") << kResolution << 9.0L << Step::WheelDown << 8.0L << QStringLiteral("8") << 1;
  QTest::newRow("up button") << kResolution << 8.0L << Step::UpButton << 9.0L << QStringLiteral("9") << 1;
  QTest::newRow("down button") << kResolution << 9.0L << Step::DownButton << 8.0L << QStringLiteral("8") << 1;
  QTest::newRow("a tenth up") << kDeadZone << 0.0L << Step::UpKey << tenth << QStringLiteral("0.1") << 1;
  QTest::newRow("a tenth down at full precision")
      << kDeadZone << 2.45L << Step::DownKey << 2.45L - tenth << QStringLiteral("2.3") << 1;
  QTest::newRow("up near the maximum") << kDeadZone << 24.95L << Step::WheelUp << 25.0L
                                       << QStringLiteral("25.0") << 1;
  QTest::newRow("down near the minimum") << kResolution << 8.5L << Step::DownButton << 8.0L
                                         << QStringLiteral("8") << 1;
  QTest::newRow("without a range") << kUnbounded << 0.0L << Step::DownKey << -1.0L << QStringLiteral("-1.00")
                                   << 1;
  // At a limit nothing changes.
  QTest::newRow("up key at 12") << kResolutionXY << 12.0L << Step::UpKey << 12.0L << QStringLiteral("12")
                                << 0;
  QTest::newRow("up button at 12") << kResolutionXY << 12.0L << Step::UpButton << 12.0L << QStringLiteral("12")
                                   << 0;
  QTest::newRow("wheel up at 10") << kResolution << 10.0L << Step::WheelUp << 10.0L << QStringLiteral("10")
                                  << 0;
  QTest::newRow("up button at 10") << kResolution << 10.0L << Step::UpButton << 10.0L << QStringLiteral("10")
                                   << 0;
  QTest::newRow("down key at 0") << kDeadZone << 0.0L << Step::DownKey << 0.0L << QStringLiteral("0.0") << 0;
  QTest::newRow("down button at 0") << kDeadZone << 0.0L << Step::DownButton << 0.0L << QStringLiteral("0.0")
                                    << 0;
  QTest::newRow("wheel down at 0") << kDeadZone << 0.0L << Step::WheelDown << 0.0L << QStringLiteral("0.0")
                                   << 0;
}

void DecimalSpinEditTest::stepping() {
  QFETCH(BoxSetup, setup);
  QFETCH(long double, start);
  QFETCH(Step, step);
  QFETCH(long double, value);
  QFETCH(QString, text);
  QFETCH(int, emissions);

  setUp(setup);
  box_->SetValue(start);
  QVERIFY(focusBox());
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  const auto wheel = [this](int delta) {
    const QPointF at(box_->rect().center());
    QWheelEvent event(at, box_->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(box_, &event);
  };
  switch (step) {
    case Step::UpKey: QTest::keyClick(box_, Qt::Key_Up); break;
    case Step::DownKey: QTest::keyClick(box_, Qt::Key_Down); break;
    case Step::WheelUp: wheel(120); break;
    case Step::WheelDown: wheel(-120); break;
    case Step::UpButton:
      QTest::mouseClick(box_, Qt::LeftButton, {}, box_->buttonCentre(QStyle::SC_SpinBoxUp));
      break;
    case Step::DownButton:
      QTest::mouseClick(box_, Qt::LeftButton, {}, box_->buttonCentre(QStyle::SC_SpinBoxDown));
      break;
  }
  QCOMPARE(box_->Value(), value);
  QCOMPARE(box_->text(), text);
  QCOMPARE(changed.count(), emissions);
}

void DecimalSpinEditTest::decimalComma() {
  box_->setLocale(QLocale(QLocale::German));
  setUp(kDeadZone);
  QCOMPARE(box_->text(), QStringLiteral("0,0"));
  box_->SetValue(0.7L);
  QCOMPARE(box_->text(), QStringLiteral("0,7"));

  QVERIFY(focusBox());
  QTest::keyClicks(box_, QStringLiteral("2.,5"));  // the point is refused
  QCOMPARE(box_->text(), QStringLiteral("2,5"));
  QCOMPARE(box_->Value(), 2.5L);

  edit()->setText(QStringLiteral("7.5"));  // no number under this locale
  QCOMPARE(box_->Value(), 2.5L);
  QVERIFY(focusAway());
  QCOMPARE(box_->text(), QStringLiteral("2,5"));
}

void DecimalSpinEditTest::decimalCommaInheritedFromParent() {
  window_->setLocale(QLocale(QLocale::German));
  QCOMPARE(box_->text(), QStringLiteral("0,00"));
  const DecimalSpinEdit created(window_.get());
  QCOMPARE(created.text(), QStringLiteral("0,00"));
}

void DecimalSpinEditTest::localeChangeRewritesText() {
  setUp(kDeadZone);
  box_->SetValue(2.45L);
  QSignalSpy changed(box_, &DecimalSpinEdit::changed);
  box_->setLocale(QLocale(QLocale::German));
  QCOMPARE(box_->text(), QStringLiteral("2,5"));
  QCOMPARE(box_->Value(), 2.45L);
  QCOMPARE(changed.count(), 1);
}

void DecimalSpinEditTest::parentFont_data() {
  QTest::addColumn<bool>("parentFontAtLast");
  QTest::addColumn<bool>("follows");

  QTest::newRow("parent font on follows the parent") << true << true;
  QTest::newRow("parent font off keeps the font in effect") << false << false;
}

// The window's steps: parent font off, a font of the box's own, parent font on; then
// the test's last switch, and the window's font changes. The window's first font sets
// only a size, so the family comes from the application.
void DecimalSpinEditTest::parentFont() {
  QFETCH(bool, parentFontAtLast);
  QFETCH(bool, follows);

  QFont first;
  first.setPixelSize(13);
  window_->setFont(first);
  box_->setParentFont(false);
  QFont own(QStringLiteral("Own"));
  own.setPointSize(25);
  own.setBold(true);
  box_->setFont(own);
  box_->setParentFont(true);
  const QString firstFamily = window_->font().family();
  QCOMPARE(box_->font().family(), firstFamily);
  QCOMPARE(box_->font().pixelSize(), 13);
  QVERIFY(!box_->font().bold());

  box_->setParentFont(parentFontAtLast);
  QFont familyB(QStringLiteral("FamilyB"));
  familyB.setPixelSize(20);
  window_->setFont(familyB);
  QCOMPARE(box_->font().family(), follows ? QStringLiteral("FamilyB") : firstFamily);
  QCOMPARE(box_->font().pixelSize(), follows ? 20 : 13);
}

void DecimalSpinEditTest::heightFollowsFont() {
  QFont small = box_->font();
  small.setPixelSize(10);
  box_->setFont(small);
  const int smallHeight = box_->height();
  QCOMPARE(smallHeight, box_->sizeHint().height());

  QFont large = small;
  large.setPixelSize(40);
  box_->setFont(large);
  QVERIFY2(box_->height() > smallHeight, qPrintable(QString::number(box_->height())));
  QCOMPARE(box_->height(), box_->sizeHint().height());
  QCOMPARE(box_->width(), 75);

  box_->setParentFont(true);
  window_->setFont(small);
  QCOMPARE(box_->height(), smallHeight);
}

void DecimalSpinEditTest::widthHintFitsRange() {
  setUp(kDeadZone);
  const int narrow = box_->sizeHint().width();
  QVERIFY(narrow > box_->fontMetrics().horizontalAdvance(QStringLiteral("25.0")));
  box_->SetMaxValue(1234567);
  QVERIFY(box_->sizeHint().width() > narrow);
  QVERIFY(box_->sizeHint().width() > box_->fontMetrics().horizontalAdvance(QStringLiteral("1234567.0")));
}

QTEST_MAIN(DecimalSpinEditTest)
#include "tst_decimal_spin_edit.moc"
