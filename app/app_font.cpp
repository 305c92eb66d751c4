#include "app_font.h"

#include <QFile>
#include <QFontDatabase>

bool RegisterEmbeddedFont(const QString& resource) {
  QFile file(resource);
  if (!file.open(QIODevice::ReadOnly)) return false;
  // The font database keeps its own copy of the data; the font stays registered until
  // the process ends.
  return QFontDatabase::addApplicationFontFromData(file.readAll()) >= 0;
}
