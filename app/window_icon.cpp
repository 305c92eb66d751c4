#include "window_icon.h"

#include <QImageReader>
#include <QPixmap>

#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The hand-over of images read on another thread. (A mutex and a condition variable
// rather than a promise: those would make the program need the dynamic loader's own
// library, for the thread-local data of their one-time set-up.)
struct ImagesAhead {
  std::mutex mutex;
  std::condition_variable provided;
  bool expected = false;
  bool ready = false;
  std::vector<QImage> images;
};

ImagesAhead& Ahead() {
  static ImagesAhead ahead;
  return ahead;
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

void ExpectWindowIconImagesAhead() {
  ImagesAhead& ahead = Ahead();
  const std::lock_guard lock(ahead.mutex);
  ahead.expected = true;
  ahead.ready = false;
  ahead.images.clear();
}

void ProvideWindowIconImages(std::vector<QImage> images) {
  ImagesAhead& ahead = Ahead();
  {
    const std::lock_guard lock(ahead.mutex);
    ahead.images = std::move(images);
    ahead.ready = true;
  }
  ahead.provided.notify_all();
}

QIcon WindowIcon() {
  std::vector<QImage> images;
  {
    ImagesAhead& ahead = Ahead();
    std::unique_lock lock(ahead.mutex);
    if (ahead.expected) {
      ahead.provided.wait(lock, [&ahead] { return ahead.ready; });
      images = std::move(ahead.images);
      ahead.images.clear();
      ahead.expected = false;
    }
  }
  if (images.empty()) images = ReadWindowIconImages();
  QIcon icon;
  // Moved: the pixmap may take the image's pixels instead of a copy of them.
  for (QImage& image : images) icon.addPixmap(QPixmap::fromImage(std::move(image)));
  return icon;
}
