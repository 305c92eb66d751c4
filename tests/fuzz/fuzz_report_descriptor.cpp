// libFuzzer entry point for the report descriptor parser. Besides the sanitizers,
// it checks that dropping the last byte never makes the result grow: the parser reads
// items front to back and feature reports only get longer as items are added.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> descriptor(data, size);
  const vorlane::FeatureReportInfo whole = vorlane::ParseFeatureReports(descriptor);
  if (!descriptor.empty()) {
    const vorlane::FeatureReportInfo shorter =
        vorlane::ParseFeatureReports(descriptor.first(size - 1));
    if (shorter.featureReportByteLength > whole.featureReportByteLength ||
        (shorter.usesReportIds && !whole.usesReportIds)) {
      std::abort();
    }
  }
  return 0;
}
