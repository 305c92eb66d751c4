// A spin box holding one decimal number at full (long double) precision.
//
// Unlike QDoubleSpinBox the stored value is not rounded to the shown decimals: a box
// showing 2.5 may hold 2.45. Rules:
//  - SetValue clamps to [MinValue, MaxValue] only when MinValue < MaxValue, stores the
//    value at full precision, rewrites the text with DecimalPlaces decimals (fixed
//    notation, the locale's decimal separator) and emits changed().
//  - Value() gives the stored number, never the text.
//  - SetDecimalPlaces with a new count stores it and sets the current value again;
//    the same count does nothing. MinValue, MaxValue and Increment are plain stores.
//  - Typing: every change of the text is parsed and stored as by SetValue, but the text
//    is left as typed; empty or sign-only text counts as 0. On focus out the text is
//    rewritten from the stored value. Digits, the decimal separator, signs and editing
//    keys are accepted (minus only while MinValue <= 0); other keys beep.
//  - Arrow buttons, Up/Down keys and each wheel notch step by Increment.
#pragma once

#include <QAbstractSpinBox>
#include <QPointer>

class BoundLabel;

class DecimalSpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  explicit DecimalSpinEdit(QWidget* parent = nullptr);
  ~DecimalSpinEdit() override;

  long double Value() const { return value_; }
  void SetValue(long double value);

  long double MinValue() const { return min_; }
  void SetMinValue(long double value) { min_ = value; }
  long double MaxValue() const { return max_; }
  void SetMaxValue(long double value) { max_ = value; }
  long double Increment() const { return increment_; }
  void SetIncrement(long double value) { increment_ = value; }
  int DecimalPlaces() const { return decimals_; }
  void SetDecimalPlaces(int places);

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // The attached caption; created on first use, inactive (hidden) until activated.
  BoundLabel* boundLabel();
  bool hasBoundLabel() const { return !label_.isNull(); }

  // Parent font on: the box drops its own font and follows its parent's.
  void setParentFont(bool on);

  // QAbstractSpinBox
  void stepBy(int steps) override;
  QSize sizeHint() const override;

 signals:
  // The value or the text changed.
  void changed(DecimalSpinEdit* sender);

 protected:
  StepEnabled stepEnabled() const override;
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void onTextEdited(const QString& text);
  void storeClamped(long double value);
  void rewriteText();
  QString formatValue() const;

  long double value_ = 0;
  long double min_ = 0;
  long double max_ = 0;
  long double increment_ = 1;
  int decimals_ = 2;
  int tag_ = 0;
  QPointer<BoundLabel> label_;
};
