// The caption attached to a DecimalSpinEdit. With the TopCenter layout it sits above
// its box, centred (the half difference taken toward zero) with its bottom edge
// Indent pixels above the box; it follows the box's moves, shows and hides with it,
// and is placed again whenever its caption changes.
#pragma once

#include <QLabel>
#include <QPointer>

class BoundLabel : public QLabel {
  Q_OBJECT

 public:
  enum class Layout { TopCenter };

  // Created by the box; a sibling of the box under the box's parent.
  explicit BoundLabel(QWidget* box);

  QString caption() const { return text(); }
  void setCaption(const QString& caption);

  Layout labelLayout() const { return layout_; }
  void setLabelLayout(Layout layout);
  int indent() const { return indent_; }
  void setIndent(int pixels);

  // Active: shown with its box and kept in place. Activating takes the font of the
  // box's parent at that moment; from then on the label keeps its own font.
  bool active() const { return active_; }
  void setActive(bool active);

  // Places the label from its box's geometry; the box calls it when it moves or resizes.
  void place();
  // Shows or hides the label with its box.
  void followVisibility();

 private:
  QPointer<QWidget> box_;
  Layout layout_ = Layout::TopCenter;
  int indent_ = 3;
  bool active_ = false;
};
