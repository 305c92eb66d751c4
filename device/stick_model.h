// The stick's side of the configuration protocol, as plain C++: it holds the
// 24 parameter bytes and the calibrated flag, answers read requests, stores writes,
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
  // Factory block of the model: dead zones 0.5 / 1.0, resolution 10 (8 on the
  // narrower axes' upper slots is not special; every slot gets the same value).
  static ParamBlock FactoryBlock();

  StickModel();
  explicit StickModel(const ParamBlock& params, bool calibrated = true);

  // A report the host sent (SET_FEATURE); report[0] is the report id. Returns false for
  // a report the model does not understand (it is still recorded).
  bool SetFeature(std::span<const std::uint8_t> report);
  // Fills buffer with the answer to the last read request (GET_FEATURE); buffer[0] is the
  // report id asked for. Returns the number of bytes filled (0 when reads are set to fail).
  std::size_t GetFeature(std::span<std::uint8_t> buffer);

  const ParamBlock& Params() const { return params_; }
  void SetParams(const ParamBlock& params) { params_ = params; }
  bool Calibrated() const { return calibrated_; }
  void SetCalibrated(bool calibrated) { calibrated_ = calibrated; }
  void SetFactoryBlock(const ParamBlock& factory) { factory_ = factory; }
  // When set, GetFeature answers nothing (as a device whose read fails).
  void SetFailReads(bool fail) { failReads_ = fail; }

  // Every report received through SetFeature, in order, as sent.
  const std::vector<std::vector<std::uint8_t>>& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  // Command codes (bytes 3..4) of the received reports, in order.
  std::vector<std::uint16_t> ReceivedCommands() const;

 private:
  ParamBlock params_{};
  ParamBlock factory_{};
  bool calibrated_ = true;
  bool failReads_ = false;
  std::vector<std::vector<std::uint8_t>> received_;
};

}  // namespace vorlane
