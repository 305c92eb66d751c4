#include "window_icon.h"

#include <QImageReader>
#include <QPixmap>

#include <utility>

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

std::shared_future<std::vector<QImage>>& ImagesAhead() {
  static std::shared_future<std::vector<QImage>> images;
  return images;
}

}  // namespace

std::vector<QImage> ReadWindowIconImages() {
  std::vector<QImage> images;
  for (const int size : kIconSizes) {
    // As PNG only: a reader left to recognise the format loads every image format
    // plugin to ask it.
    QImageReader reader(QStringLiteral(":/icons/vorlane-%1.png").arg(size), "png");
    reader.setAutoDetectImageFormat(false);
    QImage image;
    if (reader.read(&image)) images.push_back(std::move(image));
  }
  return images;
}

void SetWindowIconImagesAhead(std::shared_future<std::vector<QImage>> images) {
  ImagesAhead() = std::move(images);
}

QIcon WindowIcon() {
  std::vector<QImage> images;
  if (ImagesAhead().valid()) {
    images = ImagesAhead().get();
    ImagesAhead() = {};
  } else {
    images = ReadWindowIconImages();
  }
  QIcon icon;
  // Moved: the pixmap may take the image's pixels instead of a copy of them.
  for (QImage& image : images) icon.addPixmap(QPixmap::fromImage(std::move(image)));
  return icon;
}
