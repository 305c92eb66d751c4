#include "image_list.h"

#include <QPainter>
#include <QRadialGradient>

QPixmap DrawDisc(const QColor& colour, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF disc(0.5, 0.5, size - 1.0, size - 1.0);
  QRadialGradient shine(disc.center() - QPointF(size / 6.0, size / 6.0), size * 0.6);
  shine.setColorAt(0, colour.lighter(150));
  shine.setColorAt(1, colour);
  painter.setPen(QPen(colour.darker(140), 1));
  painter.setBrush(shine);
  painter.drawEllipse(disc);
  return pixmap;
}

ImageList ImageList::Discs() {
  constexpr int kSize = 16;
  return ImageList({DrawDisc(QColor(0x2e, 0xb8, 0x3c), kSize),
                    DrawDisc(QColor(0xc8, 0xc8, 0xc8), kSize),
                    DrawDisc(QColor(0xd8, 0x2a, 0x22), kSize)});
}

QPixmap ImageList::image(int index) const {
  if (index < 0 || index >= count()) return {};
  return images_[index];
}
