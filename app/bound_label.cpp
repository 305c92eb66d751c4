#include "bound_label.h"

#include <QEvent>

BoundLabel::BoundLabel(QWidget* box) : QLabel(box->parentWidget()), box_(box) {
  setTextFormat(Qt::PlainText);
  box->installEventFilter(this);
  followVisibility();
}

void BoundLabel::setCaption(const QString& caption) {
  setText(caption);
  adjustSize();
  place();
}

void BoundLabel::setLabelLayout(Layout layout) {
  layout_ = layout;
  place();
}

void BoundLabel::setIndent(int pixels) {
  indent_ = pixels;
  place();
}

void BoundLabel::setActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active && parentWidget()) {
    QFont own = parentWidget()->font();
    own.setResolveMask(QFont::AllPropertiesResolved);
    setFont(own);
  }
  followVisibility();
}

void BoundLabel::place() {
  if (!box_) return;
  const QRect box = box_->geometry();
  switch (layout_) {
    case Layout::TopCenter:
      // Integer division of a negative difference rounds toward zero, as it should.
      move(box.x() + (box.width() - width()) / 2, box.y() - indent_ - height());
      break;
  }
}

bool BoundLabel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
        place();
        break;
      case QEvent::ShowToParent:
      case QEvent::HideToParent:
        followVisibility();
        break;
      case QEvent::ParentChange:
        setParent(box_->parentWidget());
        place();
        followVisibility();
        break;
      default:
        break;
    }
  }
  return QLabel::eventFilter(watched, event);
}

void BoundLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    adjustSize();
    place();
  }
}

// A label without a parent would be a window of its own, so it shows only beside its box.
void BoundLabel::followVisibility() {
  setVisible(active_ && box_ && parentWidget() && !box_->isHidden());
}
