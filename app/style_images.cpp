#include "style_images.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QPixmapCache>

namespace {

// The images of the style that the window's controls use (the group box frame).
constexpr const char* kStyleImages[] = {
    ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png",
};

// The bytes of a value in hex, lowest byte first and low digit first: how the pixmap
// cache keys of QPixmap::load spell numbers.
template <typename T>
QString HexBytes(T value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  QString text;
  for (unsigned i = 0; i < sizeof(T); ++i) {
    const auto byte = static_cast<unsigned>((value >> (8 * i)) & 0xff);
    text += QLatin1Char(kDigits[byte & 0xf]);
    text += QLatin1Char(kDigits[byte >> 4]);
  }
  return text;
}

// The key under which QPixmap::load caches a file's pixmap.
QString PixmapLoadKey(const QFileInfo& info) {
  constexpr unsigned kPixmapType = 0;  // QPlatformPixmap::PixmapType
  return QStringLiteral("qt_pixmap") + info.absoluteFilePath() +
         HexBytes(static_cast<unsigned>(info.lastModified().toSecsSinceEpoch())) +
         HexBytes(static_cast<quint64>(info.size())) + HexBytes(kPixmapType);
}

}  // namespace

int CacheStyleImages() {
  int cached = 0;
  for (const char* name : kStyleImages) {
    const QString file = QString::fromLatin1(name);
    const QFileInfo info(file);
    if (!info.exists()) continue;
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    QImage image;
    if (!reader.read(&image)) continue;
    QPixmapCache::insert(PixmapLoadKey(info), QPixmap::fromImage(image));
    ++cached;
  }
  return cached;
}
