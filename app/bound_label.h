// The caption attached to a box. With the TopCenter layout it sits above its box,
// centred (the half difference taken toward zero, so a label wider than its box
// reaches out on both sides) with its bottom edge indent() pixels above the box; it
// follows the box's moves and resizes, shows and hides with it, goes with it to a new
// parent, and is sized to its text and placed again whenever its caption or its font
// changes.
//
// Qt delivers the moves of a widget that is not on screen only when it is shown, so
// before its window is first shown the label stands where the box was last seen;
// place() puts it right at once.
#pragma once

#include <QLabel>
#include <QPointer>

class BoundLabel : public QLabel {
  Q_OBJECT

 public:
  enum class Layout { TopCenter };

  // Created by the box; a sibling of the box under the box's parent. Inactive.
  explicit BoundLabel(QWidget* box);

  QString caption() const { return text(); }
  // Plain text, never markup.
  void setCaption(const QString& caption);

  Layout labelLayout() const { return layout_; }
  void setLabelLayout(Layout layout);
  // The gap between the label and its box (not QLabel's text indent).
  int indent() const { return indent_; }
  void setIndent(int pixels);

  // Active: shown with its box. Activating takes the font of the box's parent at that
  // moment as the label's own font, so the label no longer follows its parent's font;
  // change its size through a copy of font() to keep the rest.
  bool active() const { return active_; }
  void setActive(bool active);

  // Places the label from its box's geometry.
  void place();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void followVisibility();

  QPointer<QWidget> box_;
  Layout layout_ = Layout::TopCenter;
  int indent_ = 3;
  bool active_ = false;
};
