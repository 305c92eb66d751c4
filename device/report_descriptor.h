// A small HID report descriptor parser: enough to find the length of the longest
// feature report, counted as Windows' capability record counts it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vorlane {

struct FeatureReportInfo {
  // Bytes of the longest feature report, plus one for the report id byte (which is
  // counted even when the descriptor declares no report ids). 0 when there is no
  // feature report.
  std::size_t featureReportByteLength = 0;
  // True when the descriptor declares report ids.
  bool usesReportIds = false;
  // True when the descriptor ended in the middle of an item, or was otherwise malformed.
  // What was read up to that point still counts.
  bool malformed = false;
};

// Never reads outside descriptor.
FeatureReportInfo ParseFeatureReports(std::span<const std::uint8_t> descriptor);

}  // namespace vorlane
