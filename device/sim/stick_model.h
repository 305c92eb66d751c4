// The stick's side of the configuration protocol, as plain C++: it holds the
// 24 parameter bytes and a status byte, answers read requests, stores writes,
// restores its factory block on "load defaults" and records every report it is sent.
// Used by the tests, the demo and the virtual stick tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "config_report.h"

namespace vorlane {

class StickModel {
 public:
  // The model's factory block: on every axis a dead-zone start of 0.5 (byte 5), a
  // dead-zone end of 1.0 (byte 10) and a resolution of 10.
  static ParamBlock FactoryBlock();

  // Factory parameters, calibrated.
  StickModel();
  explicit StickModel(const ParamBlock& params, bool calibrated = true);

  // A report the host sent (SET_FEATURE); report[0] is the report id. Every report is
  // recorded as it came. A report with id REPORT_ID_CONFIG is told by its command code
  // (bytes 3..4) alone:
  //  - CMD_READ_PARAMS arms the answer that GetFeature gives;
  //  - CMD_WRITE_PARAMS stores the block bytes the report carries (a report cut short
  //    stores the leading part of the block and leaves the rest as it was);
  //  - CMD_LOAD_DEFAULTS restores the factory block;
  //  - CMD_PRE, CMD_BOOT_A and CMD_BOOT_B are accepted and change nothing.
  // Any report but a read request disarms the answer. Returns false for a report the
  // model does not understand (other id, unknown code, shorter than the header).
  bool SetFeature(std::span<const std::uint8_t> report);

  // GET_FEATURE; buffer[0] is the report id asked for. While a read request is armed
  // and buffer[0] is REPORT_ID_CONFIG, fills the whole buffer with the answer
  // (bytes 0..4 59 A5 1A 12 00, byte 5 the status byte, 6..29 the block, zero beyond,
  // cut to the buffer's length) and returns its length. Otherwise, and always while
  // reads are set to fail, returns 0 and leaves the buffer untouched.
  std::size_t GetFeature(std::span<std::uint8_t> buffer);

  const ParamBlock& Params() const { return params_; }
  void SetParams(const ParamBlock& params) { params_ = params; }
  void SetFactoryBlock(const ParamBlock& factory) { factory_ = factory; }

  // Byte 5 of the answer; bit 0 is the calibrated flag, the other bits mean nothing
  // to the host.
  std::uint8_t StatusByte() const { return status_; }
  void SetStatusByte(std::uint8_t status) { status_ = status; }
  bool Calibrated() const { return (status_ & 0x01) != 0; }
  void SetCalibrated(bool calibrated) { status_ = calibrated ? 0x01 : 0x00; }

  // When set, GetFeature answers nothing (as a device whose read fails).
  void SetFailReads(bool fail) { failReads_ = fail; }

  // Every report received through SetFeature, in order, exactly as sent.
  const std::vector<std::vector<std::uint8_t>>& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  // Command codes (bytes 3..4, little-endian) of the received reports, in order;
  // bytes missing from a short report count as zero.
  std::vector<std::uint16_t> ReceivedCommands() const;

 private:
  ParamBlock params_;
  ParamBlock factory_;
  std::uint8_t status_;
  bool answerArmed_ = false;
  bool failReads_ = false;
  std::vector<std::vector<std::uint8_t>> received_;
};

}  // namespace vorlane
