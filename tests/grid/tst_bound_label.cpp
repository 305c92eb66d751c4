#include "bound_label.h"
#include "decimal_spin_edit.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <memory>

namespace {

constexpr int kIndent = 3;

enum class BoxChange { Move, MoveDown, Widen, SetGeometry };

}  // namespace

Q_DECLARE_METATYPE(BoxChange)

class BoundLabelTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void siblingOfItsBox();
  void visibleOnlyWhenActive_data();
  void visibleOnlyWhenActive();
  void placement_data();
  void placement();
  void followsTheBox_data();
  void followsTheBox();
  void showsAndHidesWithTheBox_data();
  void showsAndHidesWithTheBox();
  void captionChangePlacesAgain();
  void fontChangePlacesAgain();
  void captionIsPlainText();
  void activationTakesTheParentsFont_data();
  void activationTakesTheParentsFont();
  void goesWithTheBoxToANewParent();
  void deletedWithTheBox();
  void deletedWithTheWindow();
  void boxOutlivesADeletedLabel();

 private:
  BoundLabel* activeLabel(const QString& caption = QStringLiteral(" Axis X"));
  [[nodiscard]] bool showWindow();

  QFont appFont_;
  std::unique_ptr<QWidget> window_;
  DecimalSpinEdit* box_ = nullptr;
};

void BoundLabelTest::init() {
  appFont_ = QApplication::font();
  window_ = std::make_unique<QWidget>();
  window_->resize(679, 218);
  box_ = new DecimalSpinEdit(window_.get());
  box_->setGeometry(120, 73, 75, 22);
}

void BoundLabelTest::cleanup() {
  window_.reset();
  QApplication::setFont(appFont_);
}

// Set up as the window does it.
BoundLabel* BoundLabelTest::activeLabel(const QString& caption) {
  BoundLabel* label = box_->boundLabel();
  label->setCaption(caption);
  label->setLabelLayout(BoundLabel::Layout::TopCenter);
  label->setIndent(kIndent);
  label->setActive(true);
  return label;
}

bool BoundLabelTest::showWindow() {
  window_->show();
  return QTest::qWaitForWindowExposed(window_.get());
}

void BoundLabelTest::siblingOfItsBox() {
  BoundLabel* label = box_->boundLabel();
  QVERIFY(box_->hasBoundLabel());
  QCOMPARE(box_->boundLabel(), label);
  QCOMPARE(label->parentWidget(), window_.get());
  QVERIFY(!label->active());
  QCOMPARE(label->indent(), kIndent);
  QCOMPARE(label->labelLayout(), BoundLabel::Layout::TopCenter);
}

void BoundLabelTest::visibleOnlyWhenActive_data() {
  QTest::addColumn<QString>("caption");
  QTest::addColumn<bool>("active");

  QTest::newRow("caption, inactive") << QStringLiteral(" Axis X") << false;
  QTest::newRow("empty caption, inactive") << QString() << false;
  QTest::newRow("caption, active") << QStringLiteral(" Axis X") << true;
}

void BoundLabelTest::visibleOnlyWhenActive() {
  QFETCH(QString, caption);
  QFETCH(bool, active);

  BoundLabel* label = box_->boundLabel();
  label->setCaption(caption);
  label->setActive(active);
  QVERIFY(showWindow());
  QCOMPARE(label->isVisible(), active);
  QCOMPARE(label->caption(), caption);
}

void BoundLabelTest::placement_data() {
  QTest::addColumn<QRect>("box");
  QTest::addColumn<QSize>("label");
  QTest::addColumn<int>("indent");
  QTest::addColumn<QPoint>("expected");

  // Half the difference of the widths, taken toward zero.
  const QRect box(120, 73, 75, 22);
  QTest::newRow("5 wider") << box << QSize(80, 16) << 3 << QPoint(118, 54);
  QTest::newRow("6 wider") << box << QSize(81, 16) << 3 << QPoint(117, 54);
  QTest::newRow("1 wider") << box << QSize(76, 16) << 3 << QPoint(120, 54);
  QTest::newRow("as wide") << box << QSize(75, 16) << 3 << QPoint(120, 54);
  QTest::newRow("1 narrower") << box << QSize(74, 16) << 3 << QPoint(120, 54);
  QTest::newRow("35 narrower") << box << QSize(40, 16) << 3 << QPoint(137, 54);
  QTest::newRow("36 narrower") << box << QSize(39, 16) << 3 << QPoint(138, 54);
  QTest::newRow("no indent") << box << QSize(40, 16) << 0 << QPoint(137, 57);
  QTest::newRow("wide indent") << box << QSize(40, 13) << 10 << QPoint(137, 50);
  QTest::newRow("reaching out of the window") << QRect(2, 5, 75, 22) << QSize(91, 16) << 3 << QPoint(-6, -14);
}

void BoundLabelTest::placement() {
  QFETCH(QRect, box);
  QFETCH(QSize, label);
  QFETCH(int, indent);
  QFETCH(QPoint, expected);

  box_->setGeometry(box);
  BoundLabel* bound = activeLabel();
  bound->resize(label);
  bound->setIndent(indent);
  QCOMPARE(bound->pos(), expected);
  QCOMPARE(bound->size(), label);
}

void BoundLabelTest::followsTheBox_data() {
  QTest::addColumn<BoxChange>("change");
  QTest::addColumn<bool>("shownFirst");
  QTest::addColumn<QPoint>("shift");

  QTest::newRow("moved 95 left") << BoxChange::Move << true << QPoint(-95, 0);
  QTest::newRow("moved 95 left before the window shows") << BoxChange::Move << false << QPoint(-95, 0);
  QTest::newRow("moved down") << BoxChange::MoveDown << true << QPoint(0, 30);
  QTest::newRow("widened by 10") << BoxChange::Widen << true << QPoint(5, 0);
  QTest::newRow("widened by 10 before the window shows") << BoxChange::Widen << false << QPoint(5, 0);
  QTest::newRow("new geometry") << BoxChange::SetGeometry << true << QPoint(7, -23);
}

void BoundLabelTest::followsTheBox() {
  QFETCH(BoxChange, change);
  QFETCH(bool, shownFirst);
  QFETCH(QPoint, shift);

  box_->move(508, 73);
  BoundLabel* label = activeLabel();
  if (shownFirst) QVERIFY(showWindow());
  const QPoint before = label->pos();
  switch (change) {
    case BoxChange::Move: box_->move(box_->x() - 95, box_->y()); break;
    case BoxChange::MoveDown: box_->move(box_->x(), box_->y() + 30); break;
    case BoxChange::Widen: box_->resize(box_->width() + 10, box_->height()); break;
    case BoxChange::SetGeometry:
      box_->setGeometry(box_->x() + 2, box_->y() - 23, box_->width() + 10, box_->height() + 5);
      break;
  }
  if (!shownFirst) QVERIFY(showWindow());
  QCOMPARE(label->pos(), before + shift);
}

void BoundLabelTest::showsAndHidesWithTheBox_data() {
  QTest::addColumn<bool>("shownFirst");
  QTest::newRow("window on screen") << true;
  QTest::newRow("window not yet shown") << false;
}

void BoundLabelTest::showsAndHidesWithTheBox() {
  QFETCH(bool, shownFirst);

  BoundLabel* label = activeLabel();
  if (shownFirst) {
    QVERIFY(showWindow());
    QVERIFY(label->isVisible());
  }
  box_->hide();
  if (!shownFirst) QVERIFY(showWindow());
  QVERIFY(!label->isVisible());
  box_->show();
  QVERIFY(label->isVisible());
  label->setActive(false);
  QVERIFY(!label->isVisible());
  box_->hide();
  box_->show();
  QVERIFY(!label->isVisible());
  label->setActive(true);
  QVERIFY(label->isVisible());
}

void BoundLabelTest::captionChangePlacesAgain() {
  BoundLabel* label = activeLabel(QStringLiteral("X"));
  QVERIFY(showWindow());
  const int shortWidth = label->width();
  label->setCaption(QStringLiteral(" A much longer caption than the box is wide"));
  QCOMPARE(label->size(), label->sizeHint());
  QVERIFY(label->width() > box_->width());
  QVERIFY(label->width() > shortWidth);
  QCOMPARE(label->x(), box_->x() + (box_->width() - label->width()) / 2);
  QCOMPARE(label->geometry().bottom() + 1, box_->y() - kIndent);
}

// The window gives each heading 11 pixels after activating it.
void BoundLabelTest::fontChangePlacesAgain() {
  QFont large = window_->font();
  large.setPixelSize(30);
  window_->setFont(large);
  BoundLabel* label = activeLabel();
  const QSize largeSize = label->size();
  QFont small = label->font();
  small.setPixelSize(11);
  label->setFont(small);
  QCOMPARE(label->size(), label->sizeHint());
  QVERIFY(label->height() < largeSize.height());
  QCOMPARE(label->x(), box_->x() + (box_->width() - label->width()) / 2);
  QCOMPARE(label->geometry().bottom() + 1, box_->y() - kIndent);
}

void BoundLabelTest::captionIsPlainText() {
  BoundLabel* label = activeLabel(QStringLiteral("<b>Axis</b>"));
  QCOMPARE(label->textFormat(), Qt::PlainText);
  QCOMPARE(label->caption(), QStringLiteral("<b>Axis</b>"));
}

void BoundLabelTest::activationTakesTheParentsFont_data() {
  QTest::addColumn<bool>("activateFirst");
  QTest::addColumn<bool>("sized");
  QTest::addColumn<QString>("family");
  QTest::addColumn<int>("pixelSize");

  QTest::newRow("activated before the family changes") << true << false << QStringLiteral("FamilyA") << 13;
  QTest::newRow("activated and sized before the family changes")
      << true << true << QStringLiteral("FamilyA") << 11;
  QTest::newRow("activated and sized after the family changed")
      << false << true << QStringLiteral("FamilyB") << 11;
}

// The window's font changes family after the grid is built; the box follows, an
// active label keeps the font it was given. The window sets only the label's size.
void BoundLabelTest::activationTakesTheParentsFont() {
  QFETCH(bool, activateFirst);
  QFETCH(bool, sized);
  QFETCH(QString, family);
  QFETCH(int, pixelSize);

  QApplication::setFont(QFont(QStringLiteral("FamilyA")));
  QFont height;
  height.setPixelSize(13);
  window_->setFont(height);
  box_->setParentFont(true);
  BoundLabel* label = box_->boundLabel();
  label->setCaption(QStringLiteral(" Axis X"));
  const auto activate = [label, sized] {
    label->setActive(true);
    if (!sized) return;
    QFont heading = label->font();
    heading.setPixelSize(11);
    label->setFont(heading);
  };
  if (activateFirst) activate();
  QFont familyB = window_->font();
  familyB.setFamily(QStringLiteral("FamilyB"));
  window_->setFont(familyB);
  if (!activateFirst) activate();
  QFont familyC = window_->font();
  familyC.setFamily(QStringLiteral("FamilyC"));
  window_->setFont(familyC);
  QCOMPARE(box_->font().family(), QStringLiteral("FamilyC"));

  QCOMPARE(label->font().family(), family);
  QCOMPARE(label->font().pixelSize(), pixelSize);
}

void BoundLabelTest::goesWithTheBoxToANewParent() {
  BoundLabel* label = activeLabel();
  QWidget* panel = new QWidget(window_.get());
  panel->setGeometry(0, 0, 400, 200);
  QVERIFY(showWindow());
  box_->setParent(panel);
  box_->show();
  QCOMPARE(label->parentWidget(), panel);
  QVERIFY(label->isVisible());
  QCOMPARE(label->geometry().bottom() + 1, box_->y() - kIndent);

  box_->setParent(nullptr);  // a window of its own: the label must not become one
  box_->show();
  QVERIFY(box_->isVisible());
  QVERIFY(!label->isVisible());
  box_->setParent(window_.get());
  box_->show();
  QCOMPARE(label->parentWidget(), window_.get());
  QVERIFY(label->isVisible());
}

void BoundLabelTest::deletedWithTheBox() {
  QPointer<BoundLabel> label = activeLabel();
  delete box_;
  QVERIFY(label.isNull());
}

// Box and label are siblings and the box deletes the label: under the sanitizer this
// shows that nothing is deleted twice, whichever goes first.
void BoundLabelTest::deletedWithTheWindow() {
  QPointer<BoundLabel> label = activeLabel();
  QPointer<DecimalSpinEdit> box = box_;
  QVERIFY(showWindow());
  window_.reset();
  QVERIFY(label.isNull());
  QVERIFY(box.isNull());
}

void BoundLabelTest::boxOutlivesADeletedLabel() {
  delete activeLabel();
  QVERIFY(!box_->hasBoundLabel());
  box_->move(10, 80);  // no label left to place
  QVERIFY(showWindow());
  QVERIFY(box_->boundLabel() != nullptr);  // a new one on demand
}

QTEST_MAIN(BoundLabelTest)
#include "tst_bound_label.moc"
