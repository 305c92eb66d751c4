// The conversation with one connected stick: the report buffer, the feature length,
// and the sequences of the configuration protocol with their pauses. Plain C++, no Qt:
// the window, the command-line tools and the tests all talk to the stick through it.
//
// Every step says what came of it. A parameter answer counts only when the get
// succeeded and brought at least the bytes up to the end of the block, and the block
// is written back only once such an answer came from the attached stick.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "config_report.h"
#include "feature_transport.h"

namespace vorlane {

// Bytes an answer must bring for the calibrated flag and the whole block to be in it.
inline constexpr std::size_t kCompleteAnswerBytes = kParamBlockOffset + kParamBlockSize;
// Both trace lines of a parameter read show this many bytes, whatever the feature length.
inline constexpr std::size_t kReadTraceBytes = 32;

enum class StepStatus {
  Done,
  NoStick,  // no stick attached: nothing was sent
  NotRead,  // a write before a complete answer came from this stick: nothing was sent
  Failed,   // a transfer failed, or the answer was incomplete
};

struct StepResult {
  StepStatus status = StepStatus::Done;
  // For Failed: what went wrong, in words (with the system's error text).
  std::string message;

  bool ok() const { return status == StepStatus::Done; }
};

struct ParamAnswer {
  bool calibrated = false;
  ParamBlock block{};
};

struct ReadResult : StepResult {
  // Set exactly when the read is Done.
  std::optional<ParamAnswer> answer;
};

class StickSession {
 public:
  // Blocks the calling thread for the given number of milliseconds.
  using Sleeper = std::function<void(int milliseconds)>;
  // Called after every transfer with the bytes to show, the direction and what came
  // of it (an incomplete answer is reported as a failed transfer).
  using Tracer =
      std::function<void(std::span<const std::uint8_t> bytes, TraceDirection direction,
                         const TransferResult& result)>;

  explicit StickSession(Sleeper sleep, Tracer trace = {});

  // A newly connected stick; every transfer hands it featureLength bytes. Forgets
  // whether a block was read.
  void Attach(FeatureTransport* device, std::uint8_t featureLength);
  // No stick: nothing is sent until the next Attach.
  void Detach();

  FeatureTransport* Device() const { return device_; }
  std::uint8_t FeatureLength() const { return featureLength_; }
  // True once a complete answer came from the attached stick.
  bool BlockRead() const { return blockRead_; }

  // The report buffer: the laid-out 128 bytes, and room up to the longest feature
  // report a stick can ask for, so no transfer can pass its end.
  const std::array<std::uint8_t, kMaxFeatureLength>& Report() const { return report_; }

  // Composes a short command (scrambled) into the buffer and sends it.
  StepResult ShortCommand(std::uint16_t command, std::uint8_t group);
  // Pauses 5 ms, then sends CMD_PRE. NoStick, with the buffer untouched, without a stick.
  StepResult PreCommand();
  // Sends the read request, pauses 10 ms and fetches the answer into the buffer.
  // A request that was not accepted is not followed by a get.
  ReadResult ReadParams();
  // Composes the write report from the block and sends it, once a block was read.
  StepResult WriteParams(const ParamBlock& block);
  // CMD_LOAD_DEFAULTS as a short command.
  StepResult LoadDefaults();
  // Pre-command, 10 ms, CMD_BOOT_A, 10 ms, CMD_BOOT_B, 2000 ms. Ends at the first step
  // that did not go through.
  StepResult Bootloader();

 private:
  // Sends the first FeatureLength() bytes of the buffer and traces traceBytes of them.
  TransferResult Send(std::size_t traceBytes);
  void Trace(std::size_t count, TraceDirection direction, const TransferResult& result) const;

  Sleeper sleep_;
  Tracer trace_;
  std::array<std::uint8_t, kMaxFeatureLength> report_{};
  FeatureTransport* device_ = nullptr;
  std::uint8_t featureLength_ = 0;
  bool blockRead_ = false;
};

}  // namespace vorlane
