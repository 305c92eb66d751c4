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
  // feature report. Bit counts saturate instead of wrapping around, so a hostile
  // descriptor yields a huge length, never a small wrong one.
  std::size_t featureReportByteLength = 0;
  // True when the descriptor declares report ids.
  bool usesReportIds = false;
  // True when the descriptor ended in the middle of an item, or was otherwise malformed
  // (a Pop without a Push, Pushes nested deeper than kMaxPushDepth, a Report ID outside
  // 1..255). A malformed item is ignored; what was read up to that point still counts.
  bool malformed = false;
};

// Deepest nesting of Push items that is honoured; it bounds the memory that a
// descriptor can make the parser use.
inline constexpr std::size_t kMaxPushDepth = 64;

// Never reads outside descriptor.
FeatureReportInfo ParseFeatureReports(std::span<const std::uint8_t> descriptor);

}  // namespace vorlane
