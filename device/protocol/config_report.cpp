#include "config_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "rc4.h"

namespace vorlane {

namespace {

using Layout = std::array<std::uint8_t, kReportLayoutSize>;

Layout WithHeader(std::uint16_t command, std::uint8_t group) {
  Layout layout{};
  layout[0] = REPORT_ID_CONFIG;
  layout[1] = REPORT_MAGIC;
  layout[2] = group;
  layout[3] = static_cast<std::uint8_t>(command & 0xFF);
  layout[4] = static_cast<std::uint8_t>(command >> 8);
  return layout;
}

// Zeroes the whole report, then puts as much of the layout as fits into it.
void Place(const Layout& layout, std::span<std::uint8_t> report) {
  std::ranges::fill(report, std::uint8_t{0});
  std::copy_n(layout.begin(), std::min(report.size(), layout.size()), report.begin());
}

// The low 8 bits of the integer part (toward zero) of value, as two's complement
// keeps them. fmod is exact, so this holds for every finite value.
std::uint8_t LowByteOfIntegerPart(long double value) {
  if (!std::isfinite(value)) {
    return 0;
  }
  long double low = std::fmod(std::trunc(value), 256.0L);  // an integer in (-256, 256)
  if (low < 0) {
    low += 256.0L;
  }
  return static_cast<std::uint8_t>(low);
}

}  // namespace

void ComposeShortCommand(std::span<std::uint8_t> report, std::uint16_t command, std::uint8_t group) {
  Layout layout = WithHeader(command, group);
  const std::span<const std::uint8_t> key(layout.data() + 1, 4);
  Rc4Crypt(key, std::span(layout).subspan(kScrambleOffset, kScrambleLength));
  Place(layout, report);
}

void ComposeReadRequest(std::span<std::uint8_t> report) {
  Layout layout = WithHeader(CMD_READ_PARAMS, CMD_GROUP);
  layout[5] = READ_REQUEST_FLAG;
  Place(layout, report);
}

void ComposeWriteParams(std::span<std::uint8_t> report, const ParamBlock& block) {
  Layout layout = WithHeader(CMD_WRITE_PARAMS, CMD_GROUP);
  layout[5] = WRITE_PARAMS_FLAG;
  std::ranges::copy(block, layout.begin() + kParamBlockOffset);
  Place(layout, report);
}

std::uint8_t DeadZoneToByte(long double value) {
  return LowByteOfIntegerPart(value * 10.0L + 0.5L);
}

std::uint8_t ResolutionToByte(long double value) {
  return LowByteOfIntegerPart(value);
}

std::uint8_t ParamToByte(ParamKind kind, long double value) {
  return kind == ParamKind::Resolution ? ResolutionToByte(value) : DeadZoneToByte(value);
}

long double DeadZoneFromByte(std::uint8_t byte) {
  return byte * 0.1L;
}

long double ResolutionFromByte(std::uint8_t byte) {
  return byte;
}

long double ParamFromByte(ParamKind kind, std::uint8_t byte) {
  return kind == ParamKind::Resolution ? ResolutionFromByte(byte) : DeadZoneFromByte(byte);
}

long double WrittenParamValue(ParamKind kind, long double value) {
  return ParamFromByte(kind, ParamToByte(kind, value));
}

bool AnswerCalibrated(std::span<const std::uint8_t> report) {
  return report.size() > kCalibratedByte && (report[kCalibratedByte] & 0x01) != 0;
}

ParamBlock AnswerParamBlock(std::span<const std::uint8_t> report) {
  ParamBlock block{};
  if (report.size() > kParamBlockOffset) {
    const std::size_t carried = std::min(block.size(), report.size() - kParamBlockOffset);
    std::copy_n(report.begin() + kParamBlockOffset, carried, block.begin());
  }
  return block;
}

std::string TraceLine(std::span<const std::uint8_t> bytes, TraceDirection direction) {
  std::string line = direction == TraceDirection::Sent ? "W  " : "R  ";
  line.reserve(line.size() + 3 * bytes.size());
  for (const std::uint8_t byte : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned>(byte));
    line += hex;
  }
  return line;
}

}  // namespace vorlane
