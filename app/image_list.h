// A list of small images with an alpha channel, drawn by ImageView by index.
#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>

class ImageList {
 public:
  ImageList() = default;
  explicit ImageList(QList<QPixmap> images) : images_(std::move(images)) {}

  // The connection and calibration discs: 0 green, 1 light grey, 2 red, 16 x 16.
  static ImageList Discs();

  int count() const { return static_cast<int>(images_.size()); }
  // A null pixmap for an index outside the list.
  QPixmap image(int index) const;

 private:
  QList<QPixmap> images_;
};

enum DiscImage { kDiscGreen = 0, kDiscGrey = 1, kDiscRed = 2 };

// One filled, antialiased disc of the given colour on a transparent square.
QPixmap DrawDisc(const QColor& colour, int size);
