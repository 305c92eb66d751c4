// Reports and parameter blocks that several tests build.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "config_report.h"

// Dead zones rising by one tenth from axis to axis, the same resolution on every axis.
inline vorlane::ParamBlock RisingBlock(std::uint8_t deadStart, std::uint8_t deadEnd,
                                       std::uint8_t resolution) {
  vorlane::ParamBlock block{};
  for (int a = 0; a < vorlane::kAxisCount; ++a) {
    block[vorlane::ParamBlockIndex(a, vorlane::ParamKind::DeadZoneStart)] = static_cast<std::uint8_t>(deadStart + a);
    block[vorlane::ParamBlockIndex(a, vorlane::ParamKind::DeadZoneEnd)] = static_cast<std::uint8_t>(deadEnd + a);
    block[vorlane::ParamBlockIndex(a, vorlane::ParamKind::Resolution)] = resolution;
  }
  return block;
}

// A read request of the given length.
inline std::vector<std::uint8_t> ReadRequestReport(std::size_t length) {
  std::vector<std::uint8_t> report(length);
  vorlane::ComposeReadRequest(report);
  return report;
}

// Bytes as "59 a5 1a ...", so that a failed comparison shows them.
inline QByteArray HexBytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ');
}
