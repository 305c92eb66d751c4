#include "app_font.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QResource>

bool RegisterEmbeddedFont(const QString& resource) {
  const QResource font(resource);
  if (!font.isValid() || font.size() <= 0) return false;
  // The font is stored uncompressed: the font database then reads it where the
  // program's image holds it, and keeps no copy of its own on the heap. The
  // registration lasts until the process ends, as does the program's image.
  const QByteArray data =
      font.compressionAlgorithm() == QResource::NoCompression
          ? QByteArray::fromRawData(reinterpret_cast<const char*>(font.data()), font.size())
          : font.uncompressedData();
  return QFontDatabase::addApplicationFontFromData(data) >= 0;
}
