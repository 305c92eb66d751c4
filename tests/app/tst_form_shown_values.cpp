// What a box shows is what Save writes: for every value a user can enter, by typing,
// pasting, the arrows or the wheel, the text of the box equals the byte that goes to
// the stick (tenths for dead zones, whole numbers for resolutions).
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QWheelEvent>
#include <QtTest>

#include "config_report.h"
#include "form_fixture.h"

using namespace vorlane;

namespace {

enum class Entry { Typed, Pasted, StepUp, StepDown, WheelUp, WheelDown };

// The text a box must show for a written byte, spelt out without the program's own
// formatting: "2.5" for 25 tenths, "9" for a resolution of 9.
QString TextOfByte(ParamKind kind, int byte) {
  if (kind == ParamKind::Resolution) return QString::number(byte);
  return QStringLiteral("%1.%2").arg(byte / 10).arg(byte % 10);
}

// Every entry with two decimals from 0.00 to 25.00, and some with more.
QStringList DeadZoneEntries() {
  QStringList entries;
  for (int hundredths = 0; hundredths <= 2500; ++hundredths) {
    entries << QStringLiteral("%1.%2").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
  }
  entries << QStringLiteral("0.049") << QStringLiteral("0.0500001") << QStringLiteral("0.349999")
          << QStringLiteral("1.005") << QStringLiteral("2.4499999999") << QStringLiteral("2.45")
          << QStringLiteral("24.951") << QStringLiteral("24.9499") << QStringLiteral("12.3456789");
  return entries;
}

QStringList ResolutionEntries() {
  return {QStringLiteral("8"),    QStringLiteral("8.5"),  QStringLiteral("9.49"),
          QStringLiteral("9.5"),  QStringLiteral("9.7"),  QStringLiteral("9.99"),
          QStringLiteral("10.5"), QStringLiteral("11.5"), QStringLiteral("11.999"),
          QStringLiteral("12")};
}

class ShownFixture : public FormFixture {
 public:
  ShownFixture() {
    form->show();
    form->activateWindow();
    // Save writes only once the stick's block was read.
    form->Read_Param_DZ();
  }

  // Enters text into the box by the given way, leaves it, saves; returns the byte the
  // stick received for the box.
  int enter(int axis, ParamKind kind, Entry entry, const QString& text) {
    DecimalSpinEdit* box = form->paramEdit(axis, kind);
    // Stepping starts from the entered value set directly.
    const auto value = text.toDouble();
    box->setFocus();
    switch (entry) {
      case Entry::Typed:
        box->selectAll();
        QTest::keyClicks(box, text);
        break;
      case Entry::Pasted:
        box->selectAll();
        QApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        break;
      case Entry::StepUp:
      case Entry::StepDown:
        box->SetValue(value);
        QTest::keyClick(box, entry == Entry::StepUp ? Qt::Key_Up : Qt::Key_Down);
        break;
      case Entry::WheelUp:
      case Entry::WheelDown: {
        box->SetValue(value);
        const QPointF at(box->rect().center());
        QWheelEvent wheel(at, box->mapToGlobal(at), QPoint(),
                          QPoint(0, entry == Entry::WheelUp ? 120 : -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        break;
      }
    }
    controls().sButton1->setFocus();  // leaving the box rewrites its text
    controls().sButton1->click();
    return device.stick.Params()[ParamBlockIndex(axis, kind)];
  }

  Ui::TMainForm& controls() { return form->controls(); }
};

}  // namespace

class FormShownValuesTest : public QObject {
  Q_OBJECT

 private slots:
  void boxShowsWhatSaveWrites_data();
  void boxShowsWhatSaveWrites();
  void readValuesShowAsTheirBytes();
};

void FormShownValuesTest::boxShowsWhatSaveWrites_data() {
  QTest::addColumn<Entry>("entry");
  QTest::addColumn<int>("axis");
  QTest::addColumn<ParamKind>("kind");
  QTest::addColumn<QStringList>("entries");

  const struct {
    const char* name;
    Entry entry;
  } ways[] = {{"typed", Entry::Typed},         {"pasted", Entry::Pasted},
              {"up arrow key", Entry::StepUp}, {"down arrow key", Entry::StepDown},
              {"wheel up", Entry::WheelUp},    {"wheel down", Entry::WheelDown}};
  for (const auto& way : ways) {
    QTest::addRow("dead-zone start, %s", way.name)
        << way.entry << 0 << ParamKind::DeadZoneStart << DeadZoneEntries();
    QTest::addRow("resolution of slot 0, %s", way.name)
        << way.entry << 0 << ParamKind::Resolution << ResolutionEntries();
  }
  // Another column and row: the throttle's dead-zone end.
  QTest::newRow("dead-zone end of slot 4, typed")
      << Entry::Typed << 4 << ParamKind::DeadZoneEnd << DeadZoneEntries();
}

void FormShownValuesTest::boxShowsWhatSaveWrites() {
  QFETCH(Entry, entry);
  QFETCH(int, axis);
  QFETCH(ParamKind, kind);
  QFETCH(QStringList, entries);
  ShownFixture f;
  QVERIFY(QTest::qWaitForWindowActive(f.form.get()));

  int mismatches = 0;
  QString first;
  for (const QString& text : entries) {
    const int written = f.enter(axis, kind, entry, text);
    const QString shown = f.form->paramEdit(axis, kind)->text();
    if (shown != TextOfByte(kind, written)) {
      if (mismatches++ == 0) {
        first = QStringLiteral("entered %1, shows %2, writes %3").arg(text, shown).arg(written);
      }
    }
  }
  QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 mismatches; first: %2").arg(mismatches).arg(first)));
}

// A value read from the stick shows as its byte and is written back as the same byte.
void FormShownValuesTest::readValuesShowAsTheirBytes() {
  ShownFixture f;
  for (int byte = 0; byte <= 255; ++byte) {
    ParamBlock block{};
    block.fill(static_cast<std::uint8_t>(byte));
    f.device.stick.SetParams(block);
    f.form->Read_Param_DZ();
    f.form->Write_Param_DZ();
    for (const ParamKind kind : kParamKinds) {
      for (int a = 0; a < kAxisCount; ++a) {
        const int written = f.device.stick.Params()[ParamBlockIndex(a, kind)];
        QCOMPARE(f.form->paramEdit(a, kind)->text(), TextOfByte(kind, written));
        // Within the box's range the byte comes back unchanged.
        const DecimalSpinEdit* box = f.form->paramEdit(a, kind);
        const long double read = ParamFromByte(kind, std::uint8_t(byte));
        if (read >= box->MinValue() && read <= box->MaxValue()) QCOMPARE(written, byte);
      }
    }
  }
}

QTEST_MAIN(FormShownValuesTest)
#include "tst_form_shown_values.moc"
