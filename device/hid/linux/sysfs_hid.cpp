#include "sysfs_hid.h"

#include <QString>

#include <limits>

#include "report_descriptor.h"

namespace vorlane::linux_hid {

std::u16string Utf8ToUtf16(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdU16String();
}

std::u16string ProductString(const char* usbProduct, const char* hidName) {
  if (usbProduct) return Utf8ToUtf16(usbProduct);
  if (hidName) return Utf8ToUtf16(hidName);
  return {};
}

std::uint16_t FeatureReportByteLengthOf(std::span<const std::uint8_t> descriptor) {
  const std::size_t length = ParseFeatureReports(descriptor).featureReportByteLength;
  if (length > std::numeric_limits<std::uint16_t>::max()) return 0;
  return static_cast<std::uint16_t>(length);
}

}  // namespace vorlane::linux_hid
