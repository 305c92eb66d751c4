// A spin box holding one decimal number at full (long double) precision.
//
// Unlike QDoubleSpinBox the stored value is not rounded to the shown decimals: a box
// showing 2.5 may hold 2.45. Rules:
//  - SetValue clamps to [MinValue, MaxValue] only when MinValue < MaxValue, stores the
//    value at full precision, rewrites the text with DecimalPlaces decimals (fixed
//    notation, the decimal separator of the box's locale, rounded as FormatDecimal
//    tells) and emits changed(). A value that is no finite number after clamping
//    (NaN, or an infinity that no range catches) is ignored.
//  - Value() gives the stored number, never the text.
//  - SetDecimalPlaces with a new count stores it and sets the current value again;
//    the same count does nothing. MinValue, MaxValue and Increment are plain stores.
//  - Typing: every change of the text is read and stored as by SetValue, but the text
//    is left as typed; a text without digits ("", a sign, the separator) counts as 0.
//    A number beyond long double counts as the infinity of its sign, so it is clamped.
//    Text that is not a number at all (set from outside the keyboard) leaves the value
//    as it was. On focus out the text is rewritten from the stored value.
//  - Keys that insert text are taken only when the text stays a number or the start of
//    one: digits, the decimal separator, signs (minus only while MinValue is not above
//    0); other keys beep. Pasted text is refused on the same grounds. Keys that insert
//    nothing (cursor movement, deleting, shortcuts, Tab) work as usual.
//  - Arrow buttons, Up/Down keys and each wheel notch step by Increment; at a limit of
//    the range they do nothing. Page Up/Down and Ctrl with the wheel take ten steps,
//    as in every Qt spin box.
//  - A change of locale rewrites the text with the new separator.
//  - A shown-value function, when set, maps the stored value to the number the text
//    shows (for instance the value as it will be written to a device); the stored
//    value itself stays as it was.
//  - The height follows the font: a change of font sets it to sizeHint().height().
#pragma once

#include <QAbstractSpinBox>
#include <QPointer>

#include <functional>
#include <string>

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
  // Clamped to 0..vorlane::kMaxDecimalPlaces.
  void SetDecimalPlaces(int places);

  // Maps the stored value to the value the text shows; empty: the stored value itself.
  using ShownValue = std::function<long double(long double)>;
  void SetShownValue(ShownValue shown);

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // The attached caption; created on first use, inactive (hidden) until activated.
  // It is deleted with the box.
  BoundLabel* boundLabel();
  bool hasBoundLabel() const { return !label_.isNull(); }

  // On: the box drops its own font and follows its parent's, now and later.
  // Off: the font in effect becomes the box's own and stays.
  void setParentFont(bool on);

  // QAbstractSpinBox
  void stepBy(int steps) override;
  // Wide enough for the texts of MinValue and MaxValue; the height follows the font.
  QSize sizeHint() const override;

 signals:
  // The value or the text changed.
  void changed(DecimalSpinEdit* box);

 protected:
  StepEnabled stepEnabled() const override;
  QValidator::State validate(QString& input, int& pos) const override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void onTextChanged(const QString& text);
  // Applies the range rule and keeps the result if it is a finite number.
  bool store(long double value);
  // Shows the stored value; true when the text changed.
  bool rewriteText();
  QString textFor(long double value) const;
  std::string separator() const;
  bool isDraft(const QString& text) const;

  long double value_ = 0;
  long double min_ = 0;
  long double max_ = 0;
  long double increment_ = 1;
  int decimals_ = 2;
  int tag_ = 0;
  bool rewriting_ = false;
  ShownValue shown_;
  QPointer<BoundLabel> label_;
};
