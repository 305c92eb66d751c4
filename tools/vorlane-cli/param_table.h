// The 24 parameters as the command line names them, the ranges of the window's boxes,
// and the window's way of bringing a stick's bytes into those boxes. Plain C++.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config_report.h"

namespace vorlane::cli {

// The axis slots 0..7 by name: x, y, twist, slot3, throttle, rudder, left-brake,
// right-brake. The window shows x, y, twist and throttle.
inline constexpr std::array<std::string_view, kAxisCount> kAxisNames = {
    "x", "y", "twist", "slot3", "throttle", "rudder", "left-brake", "right-brake"};
// The kinds by their numbers: deadzone-start, deadzone-end, resolution.
inline constexpr std::array<std::string_view, kParamKindCount> kKindNames = {
    "deadzone-start", "deadzone-end", "resolution"};

struct ParamId {
  int axis = 0;
  ParamKind kind = ParamKind::DeadZoneStart;

  friend bool operator==(const ParamId&, const ParamId&) = default;
};

std::optional<int> AxisOfName(std::string_view name);
std::optional<ParamKind> KindOfName(std::string_view name);
std::string_view KindName(ParamKind kind);
// "x.deadzone-start"
std::string ParamName(ParamId id);
// The parameters in block order (all axes of a kind together).
ParamId ParamAt(std::size_t blockIndex);
// "x, y, twist, ..." and "deadzone-start, deadzone-end, resolution", for messages.
std::string AxisNameList();
std::string KindNameList();

// The range of the parameter's box in the window: dead zones 0..25, resolutions 8..12
// on x and y and 8..10 on the other slots.
struct BoxRange {
  long double min = 0;
  long double max = 0;
};
BoxRange BoxRangeOf(ParamId id);
// True for a finite value inside the box's range, ends included.
bool InBox(ParamId id, long double value);
// The value as the box takes it: clamped into its range.
long double IntoBox(ParamId id, long double value);

// The byte the window writes for a byte the stick gave: the value brought into its box
// and converted back as Save converts it. Unchanged for a byte inside the range.
std::uint8_t WindowByte(ParamId id, std::uint8_t stickByte);
// True when the window keeps the byte as it is.
bool ByteInBox(ParamId id, std::uint8_t stickByte);
// The block the window would write after reading this one.
ParamBlock WindowBlock(const ParamBlock& stickBlock);
// The byte Save writes for a value inside the box's range.
std::uint8_t ByteOfValue(ParamId id, long double value);

// A parameter byte as text: dead zones in tenths with one decimal ("0.5", "25.5"),
// resolutions as whole numbers. Exact, and independent of the locale.
std::string FormatByte(ParamKind kind, std::uint8_t byte);
// The range as text, "0.0..25.0" or "8..12".
std::string FormatRange(ParamId id);

}  // namespace vorlane::cli
