#include "param_table.h"

#include <algorithm>
#include <cmath>

namespace vorlane::cli {

namespace {

// The boxes' limits, as the window sets them.
constexpr long double kDeadZoneMin = 0.0L;
constexpr long double kDeadZoneMax = 25.0L;
constexpr long double kResolutionMin = 8.0L;
constexpr long double kResolutionMaxXY = 12.0L;
constexpr long double kResolutionMaxOther = 10.0L;

std::string JoinNames(auto names) {
  std::string text;
  for (const std::string_view name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

}  // namespace

std::optional<int> AxisOfName(std::string_view name) {
  const auto found = std::ranges::find(kAxisNames, name);
  if (found == kAxisNames.end()) return std::nullopt;
  return static_cast<int>(found - kAxisNames.begin());
}

std::optional<ParamKind> KindOfName(std::string_view name) {
  const auto found = std::ranges::find(kKindNames, name);
  if (found == kKindNames.end()) return std::nullopt;
  return static_cast<ParamKind>(found - kKindNames.begin());
}

std::string_view KindName(ParamKind kind) {
  return kKindNames[static_cast<std::size_t>(KindNumber(kind))];
}

std::string ParamName(ParamId id) {
  return std::string(kAxisNames[static_cast<std::size_t>(id.axis)]) + "." +
         std::string(KindName(id.kind));
}

ParamId ParamAt(std::size_t blockIndex) {
  return {static_cast<int>(blockIndex % kAxisCount),
          static_cast<ParamKind>(blockIndex / kAxisCount)};
}

std::string AxisNameList() { return JoinNames(kAxisNames); }
std::string KindNameList() { return JoinNames(kKindNames); }

BoxRange BoxRangeOf(ParamId id) {
  if (id.kind != ParamKind::Resolution) return {kDeadZoneMin, kDeadZoneMax};
  return {kResolutionMin, id.axis < 2 ? kResolutionMaxXY : kResolutionMaxOther};
}

bool InBox(ParamId id, long double value) {
  const BoxRange range = BoxRangeOf(id);
  return std::isfinite(value) && value >= range.min && value <= range.max;
}

long double IntoBox(ParamId id, long double value) {
  const BoxRange range = BoxRangeOf(id);
  return std::clamp(value, range.min, range.max);
}

std::uint8_t WindowByte(ParamId id, std::uint8_t stickByte) {
  return ParamToByte(id.kind, IntoBox(id, ParamFromByte(id.kind, stickByte)));
}

bool ByteInBox(ParamId id, std::uint8_t stickByte) { return WindowByte(id, stickByte) == stickByte; }

ParamBlock WindowBlock(const ParamBlock& stickBlock) {
  ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = WindowByte(ParamAt(i), stickBlock[i]);
  return block;
}

std::uint8_t ByteOfValue(ParamId id, long double value) {
  return ParamToByte(id.kind, IntoBox(id, value));
}

std::string FormatByte(ParamKind kind, std::uint8_t byte) {
  if (kind == ParamKind::Resolution) return std::to_string(byte);
  return std::to_string(byte / 10) + "." + std::to_string(byte % 10);
}

std::string FormatRange(ParamId id) {
  const BoxRange range = BoxRangeOf(id);
  // The limits are whole numbers; dead zones show their tenth.
  const auto text = [&](long double limit) {
    const auto whole = static_cast<std::uint8_t>(limit);
    return id.kind == ParamKind::Resolution ? FormatByte(id.kind, whole)
                                            : FormatByte(id.kind, static_cast<std::uint8_t>(whole * 10));
  };
  return text(range.min) + ".." + text(range.max);
}

}  // namespace vorlane::cli
