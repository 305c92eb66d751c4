#include "image_view.h"

#include <QPainter>

#include "image_list.h"

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void ImageView::setImageList(const ImageList* images) {
  images_ = images;
  update();
}

void ImageView::setImageIndex(int index) {
  if (index == index_) return;
  index_ = index;
  update();
  emit imageIndexChanged(index);
}

void ImageView::paintEvent(QPaintEvent*) {
  if (images_ == nullptr) return;
  const QPixmap pixmap = images_->image(index_);
  if (pixmap.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, pixmap);
}
