#include "stick_session.h"

#include <algorithm>
#include <utility>

namespace vorlane {

namespace {

constexpr int kPreCommandPauseMs = 5;
constexpr int kAnswerPauseMs = 10;
constexpr int kBootStepPauseMs = 10;
constexpr int kBootSettlePauseMs = 2000;

// A get that succeeded with fewer bytes than a complete answer holds counts as failed.
TransferResult CompleteAnswer(TransferResult got) {
  if (got.ok && got.bytes < kCompleteAnswerBytes) {
    return TransferResult::Failed("the stick answered " + std::to_string(got.bytes) +
                                  " bytes; a complete answer has " +
                                  std::to_string(kCompleteAnswerBytes));
  }
  return got;
}

StepResult WithContext(StepResult step, const char* what) {
  if (!step.ok()) step.message = std::string(what) + ": " + step.message;
  return step;
}

// The result of a transfer as a step: Done, or Failed with its message.
StepResult StepOf(const TransferResult& transfer) {
  if (transfer.ok) return {};
  return {StepStatus::Failed, transfer.message};
}

}  // namespace

StickSession::StickSession(Sleeper sleep, Tracer trace)
    : sleep_(std::move(sleep)), trace_(std::move(trace)) {}

void StickSession::Attach(FeatureTransport* device, std::uint8_t featureLength) {
  device_ = device;
  featureLength_ = featureLength;
  blockRead_ = false;
}

void StickSession::Detach() {
  device_ = nullptr;
  blockRead_ = false;
}

StepResult StickSession::ShortCommand(std::uint16_t command, std::uint8_t group) {
  ComposeShortCommand(report_, command, group);
  if (device_ == nullptr) return {StepStatus::NoStick, {}};
  return StepOf(Send(featureLength_));
}

StepResult StickSession::PreCommand() {
  sleep_(kPreCommandPauseMs);
  if (device_ == nullptr) return {StepStatus::NoStick, {}};
  return WithContext(ShortCommand(CMD_PRE, CMD_GROUP), "pre-command");
}

ReadResult StickSession::ReadParams() {
  ComposeReadRequest(report_);
  ReadResult result;
  if (device_ == nullptr) {
    result.status = StepStatus::NoStick;
    return result;
  }
  if (const TransferResult sent = Send(kReadTraceBytes); !sent.ok) {
    static_cast<StepResult&>(result) = WithContext(StepOf(sent), "read request");
    return result;
  }
  sleep_(kAnswerPauseMs);
  // Byte 0 still holds the report id of the request, which names the report to fetch.
  const TransferResult got = CompleteAnswer(device_->GetFeature(report_.data(), featureLength_));
  Trace(kReadTraceBytes, TraceDirection::Received, got);
  if (!got.ok) {
    static_cast<StepResult&>(result) = WithContext(StepOf(got), "answer");
    return result;
  }
  blockRead_ = true;
  result.answer = ParamAnswer{AnswerCalibrated(report_), AnswerParamBlock(report_)};
  return result;
}

StepResult StickSession::WriteParams(const ParamBlock& block) {
  ComposeWriteParams(report_, block);
  if (device_ == nullptr) return {StepStatus::NoStick, {}};
  if (!blockRead_) return {StepStatus::NotRead, "no parameters were read from this stick"};
  return StepOf(Send(featureLength_));
}

StepResult StickSession::LoadDefaults() { return ShortCommand(CMD_LOAD_DEFAULTS, CMD_GROUP); }

StepResult StickSession::Bootloader() {
  if (StepResult pre = PreCommand(); !pre.ok()) return pre;
  sleep_(kBootStepPauseMs);
  if (StepResult a = ShortCommand(CMD_BOOT_A, CMD_GROUP); !a.ok()) return a;
  sleep_(kBootStepPauseMs);
  if (StepResult b = ShortCommand(CMD_BOOT_B, CMD_GROUP); !b.ok()) return b;
  sleep_(kBootSettlePauseMs);
  return {};
}

TransferResult StickSession::Send(std::size_t traceBytes) {
  const TransferResult sent = device_->SetFeature(report_.data(), featureLength_);
  Trace(traceBytes, TraceDirection::Sent, sent);
  return sent;
}

void StickSession::Trace(std::size_t count, TraceDirection direction,
                         const TransferResult& result) const {
  if (trace_) trace_(std::span(report_).first(std::min(count, report_.size())), direction, result);
}

}  // namespace vorlane
