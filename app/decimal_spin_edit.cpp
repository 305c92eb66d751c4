#include "decimal_spin_edit.h"

#include "bound_label.h"
#include "decimal_text.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Whether the key types text, told as the line edit tells it: Control, alone or with
// Shift, makes a shortcut (copy, paste, undo) instead.
bool TypesText(const QKeyEvent& event) {
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
    return false;
  }
  const QString text = event.text();
  return !text.isEmpty() && text.front().isPrint();
}

}  // namespace

DecimalSpinEdit::DecimalSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
  connect(lineEdit(), &QLineEdit::textChanged, this, &DecimalSpinEdit::onTextChanged);
  rewriteText();
}

// The caption is a sibling, not a child, so it has to go with the box by hand.
DecimalSpinEdit::~DecimalSpinEdit() { delete label_; }

void DecimalSpinEdit::SetValue(long double value) {
  if (!store(value)) return;
  rewriteText();
  emit changed(this);
}

void DecimalSpinEdit::SetDecimalPlaces(int places) {
  places = std::clamp(places, 0, vorlane::kMaxDecimalPlaces);
  if (places == decimals_) return;
  decimals_ = places;
  SetValue(value_);
}

BoundLabel* DecimalSpinEdit::boundLabel() {
  if (!label_) label_ = new BoundLabel(this);
  return label_;
}

void DecimalSpinEdit::setParentFont(bool on) {
  if (on) {
    setFont(QFont());  // an empty resolve mask: nothing of the box's own is left
  } else {
    QFont own = font();
    own.setResolveMask(QFont::AllPropertiesResolved);
    setFont(own);
  }
}

void DecimalSpinEdit::stepBy(int steps) {
  SetValue(value_ + steps * increment_);
  if (style()->styleHint(QStyle::SH_SpinBox_SelectOnStep, nullptr, this)) selectAll();
}

QSize DecimalSpinEdit::sizeHint() const {
  ensurePolished();
  const QFontMetrics metrics = fontMetrics();
  const int text_width =
      std::max(metrics.horizontalAdvance(textFor(min_)), metrics.horizontalAdvance(textFor(max_)));
  // A blank's room as margin and two pixels for the cursor.
  const QSize content(text_width + metrics.horizontalAdvance(u' ') + 2,
                      lineEdit()->sizeHint().height());
  QStyleOptionSpinBox option;
  initStyleOption(&option);
  return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QAbstractSpinBox::StepEnabled DecimalSpinEdit::stepEnabled() const {
  if (isReadOnly()) return StepNone;
  // Without a range (MinValue not below MaxValue) nothing holds the value back.
  const bool bounded = min_ < max_;
  StepEnabled enabled = StepNone;
  if (!bounded || value_ < max_) enabled |= StepUpEnabled;
  if (!bounded || value_ > min_) enabled |= StepDownEnabled;
  return enabled;
}

QValidator::State DecimalSpinEdit::validate(QString& input, int& /*pos*/) const {
  return isDraft(input) ? QValidator::Acceptable : QValidator::Invalid;
}

void DecimalSpinEdit::focusOutEvent(QFocusEvent* event) {
  // A context menu taking the focus is part of editing, not its end.
  if (event->reason() != Qt::PopupFocusReason && rewriteText()) emit changed(this);
  QAbstractSpinBox::focusOutEvent(event);
}

void DecimalSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (TypesText(*event)) {
    const QString typed = event->text();
    const QLineEdit* edit = lineEdit();
    QString result = edit->text();
    if (edit->hasSelectedText()) {
      result.replace(edit->selectionStart(), edit->selectionLength(), typed);
    } else {
      result.insert(edit->cursorPosition(), typed);
    }
    if (!isDraft(result)) {
      QApplication::beep();
      event->accept();
      return;
    }
  }
  QAbstractSpinBox::keyPressEvent(event);
}

void DecimalSpinEdit::changeEvent(QEvent* event) {
  QAbstractSpinBox::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
      resize(width(), sizeHint().height());
      break;
    case QEvent::LocaleChange:
      if (rewriteText()) emit changed(this);
      break;
    default:
      break;
  }
}

void DecimalSpinEdit::onTextChanged(const QString& text) {
  if (rewriting_) return;
  if (const auto number = vorlane::ReadDecimal(text.toStdString(), separator())) store(*number);
  emit changed(this);
}

bool DecimalSpinEdit::store(long double value) {
  if (min_ < max_) value = std::clamp(value, min_, max_);
  if (!std::isfinite(value)) return false;
  value_ = value;
  return true;
}

bool DecimalSpinEdit::rewriteText() {
  const QString text = textFor(value_);
  if (text == lineEdit()->text()) return false;
  const QScopedValueRollback guard(rewriting_, true);
  lineEdit()->setText(text);
  return true;
}

void DecimalSpinEdit::SetShownValue(ShownValue shown) {
  shown_ = std::move(shown);
  rewriteText();
}

QString DecimalSpinEdit::textFor(long double value) const {
  const long double shown = shown_ ? shown_(value) : value;
  return QString::fromStdString(vorlane::FormatDecimal(shown, decimals_, separator()));
}

std::string DecimalSpinEdit::separator() const { return locale().decimalPoint().toStdString(); }

bool DecimalSpinEdit::isDraft(const QString& text) const {
  return vorlane::IsDecimalDraft(text.toStdString(), separator(), !(min_ > 0));
}
