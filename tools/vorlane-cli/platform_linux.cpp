#include <QString>

#include "platform.h"

namespace vorlane::cli {

std::string Utf8Of(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

std::string NoAccessHint() {
  return "install the udev rule of the Vorlane package (70-vorlane.rules) and plug the stick "
         "in again, or run as a user with read and write access to its /dev/hidraw node";
}

void PrepareConsole() {}

}  // namespace vorlane::cli
