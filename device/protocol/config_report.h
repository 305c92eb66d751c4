// Layout of the configuration feature report (id 0x59) and the conversions between
// parameter bytes and the values shown in the parameter boxes. Plain C++, no Qt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vorlane {

inline constexpr std::uint8_t REPORT_ID_CONFIG = 0x59;
inline constexpr std::uint8_t REPORT_MAGIC = 0xA5;
inline constexpr std::uint8_t CMD_GROUP = 0x1A;

inline constexpr std::uint16_t CMD_PRE = 0x10;
inline constexpr std::uint16_t CMD_WRITE_PARAMS = 0x11;
inline constexpr std::uint16_t CMD_READ_PARAMS = 0x12;
inline constexpr std::uint16_t CMD_LOAD_DEFAULTS = 0x13;
inline constexpr std::uint16_t CMD_BOOT_A = 0x1C;
inline constexpr std::uint16_t CMD_BOOT_B = 0x58;

// Byte 5 of the read request and of the write report.
inline constexpr std::uint8_t READ_REQUEST_FLAG = 0x04;
inline constexpr std::uint8_t WRITE_PARAMS_FLAG = 0x1B;

// The laid-out part of a report; a buffer may be longer (the rest stays zero).
inline constexpr std::size_t kReportLayoutSize = 128;
// Largest transfer a stick can ask for: the feature length is kept in 8 bits.
inline constexpr std::size_t kMaxFeatureLength = 255;

inline constexpr std::size_t kHeaderSize = 5;
inline constexpr std::size_t kScrambleOffset = 5;
inline constexpr std::size_t kScrambleLength = 120;  // bytes 5..124
inline constexpr std::size_t kParamBlockOffset = 6;
inline constexpr std::size_t kParamBlockSize = 24;   // bytes 6..29
inline constexpr std::size_t kCalibratedByte = 5;

inline constexpr int kAxisCount = 8;
inline constexpr int kParamKindCount = 3;
inline constexpr int kParamCount = kAxisCount * kParamKindCount;

// Parameter kinds, the rows of the grid. The values are the kinds' numbers in the
// report's block and in the window's grid.
enum class ParamKind : int { DeadZoneStart = 0, DeadZoneEnd = 1, Resolution = 2 };
inline constexpr std::array<ParamKind, kParamKindCount> kParamKinds = {
    ParamKind::DeadZoneStart, ParamKind::DeadZoneEnd, ParamKind::Resolution};

constexpr int KindNumber(ParamKind kind) { return static_cast<int>(kind); }

using ParamBlock = std::array<std::uint8_t, kParamBlockSize>;

// The one index scheme of the 24 parameters.
// In the parameter block and the report, kind-major: all axes of a kind together.
constexpr std::size_t ParamBlockIndex(int axis, ParamKind kind) {
  return static_cast<std::size_t>(kAxisCount * KindNumber(kind) + axis);
}
// Offset of the same byte inside a report.
constexpr std::size_t ParamReportOffset(int axis, ParamKind kind) {
  return kParamBlockOffset + ParamBlockIndex(axis, kind);
}
// In the window's list of parameter boxes, axis-major: the three kinds of an axis together.
constexpr std::size_t ParamEditIndex(int axis, ParamKind kind) {
  return static_cast<std::size_t>(kParamKindCount * axis + KindNumber(kind));
}

// The composers. Each sets the whole buffer to zero first and then writes the header
// and its payload at the offsets above, so a buffer longer than kReportLayoutSize
// (a stick may ask for up to kMaxFeatureLength bytes) is zero past byte 127.
// A buffer shorter than kReportLayoutSize gets only the leading bytes of the layout
// that fit, exactly the report cut to its length; nothing is written past its end.

// Header with command and group, then bytes 5..124 scrambled with RC4 keyed by
// bytes 1..4; bytes 125..127 stay zero.
void ComposeShortCommand(std::span<std::uint8_t> report, std::uint16_t command, std::uint8_t group);
// Header with CMD_READ_PARAMS and CMD_GROUP, byte 5 = READ_REQUEST_FLAG.
void ComposeReadRequest(std::span<std::uint8_t> report);
// Header with CMD_WRITE_PARAMS and CMD_GROUP, byte 5 = WRITE_PARAMS_FLAG, the block
// at bytes 6..29.
void ComposeWriteParams(std::span<std::uint8_t> report, const ParamBlock& block);

// Conversions between box values and parameter bytes.
// Dead zones travel in tenths: the integer part (toward zero) of value * 10 + 0.5,
// computed in long double, so a half goes up. Resolutions travel as the integer part
// of the value, cut rather than rounded. Of that integer the low 8 bits are kept, as
// in two's complement: 25.6 gives 0, -0.2 gives 255. This holds exactly for every
// finite value, however large; NaN and the infinities give 0.
std::uint8_t DeadZoneToByte(long double value);
std::uint8_t ResolutionToByte(long double value);
std::uint8_t ParamToByte(ParamKind kind, long double value);
long double DeadZoneFromByte(std::uint8_t byte);    // byte * 0.1
long double ResolutionFromByte(std::uint8_t byte);  // byte
long double ParamFromByte(ParamKind kind, std::uint8_t byte);
// The value a write of `value` puts on the stick, as a read would bring it back: what a
// box must show so that the user sees what Save sends.
long double WrittenParamValue(ParamKind kind, long double value);

// Fields of the stick's answer to a read request. Nothing is validated; a report too
// short to hold a field reads it as zero bits (not calibrated, block bytes 0).
bool AnswerCalibrated(std::span<const std::uint8_t> report);  // bit 0 of byte 5
ParamBlock AnswerParamBlock(std::span<const std::uint8_t> report);  // bytes 6..29

enum class TraceDirection : int { Received = 1, Sent = 2 };

// One log line: "W  " for a report sent, "R  " for one received, then every byte as
// "%02X " (two upper-case hex digits and a blank, so the line ends with a blank).
std::string TraceLine(std::span<const std::uint8_t> bytes, TraceDirection direction);

}  // namespace vorlane
