#include "stick_connection.h"

#include <algorithm>
#include <optional>

#include "cli_error.h"
#include "config_report.h"
#include "platform.h"
#include "stick_identity.h"

namespace vorlane::cli {

namespace {

// The window waits this long after finding the stick before its first step.
constexpr int kSettleMs = 100;

StickSession::Tracer TracerFor(const CommandContext& context) {
  if (!context.trace) return {};
  std::ostream* err = &context.err;
  return [err](std::span<const std::uint8_t> bytes, TraceDirection direction,
               const TransferResult& result) {
    *err << TraceLine(bytes, direction);
    if (!result.ok) *err << "FAILED: " << result.message;
    *err << '\n';
  };
}

std::string PathList(const std::vector<HidDeviceInfo>& devices) {
  std::string text;
  for (const HidDeviceInfo& device : devices) text += (text.empty() ? "" : ", ") + device.path;
  return text;
}

HidDeviceInfo ChooseStick(const CommandContext& context) {
  const std::vector<HidDeviceInfo> devices = ScanDevices(context);
  if (!context.devicePath.empty()) {
    const auto named = std::ranges::find(devices, context.devicePath, &HidDeviceInfo::path);
    if (named == devices.end()) {
      throw CliError(ExitCode::NoStick, "no device " + context.devicePath + " is plugged in");
    }
    if (SticksAmong({*named}).empty()) {
      throw BadInput(context.devicePath + " is not the stick (see 'vorlane-cli list')");
    }
    return *named;
  }
  const std::vector<HidDeviceInfo> sticks = SticksAmong(devices);
  if (sticks.empty()) throw CliError(ExitCode::NoStick, "no stick is plugged in");
  if (sticks.size() > 1) {
    throw BadInput(std::to_string(sticks.size()) +
                   " sticks are plugged in; choose one with --device PATH (" + PathList(sticks) + ")");
  }
  return sticks.front();
}

// what: names a step whose message does not say it already.
void Check(const StepResult& step, const char* what = nullptr) {
  if (step.status == StepStatus::NoStick) throw CliError(ExitCode::NoStick, "the stick is gone");
  if (!step.ok()) {
    throw CliError(ExitCode::TransferFailed, what ? std::string(what) + ": " + step.message : step.message);
  }
}

}  // namespace

std::vector<HidDeviceInfo> SticksAmong(const std::vector<HidDeviceInfo>& devices) {
  std::vector<HidDeviceInfo> sticks;
  for (const HidDeviceInfo& device : devices) {
    if (IsStick(device.classGuidText, device.attributes, kStickVendorId, kStickProductCode)) {
      sticks.push_back(device);
    }
  }
  return sticks;
}

std::vector<HidDeviceInfo> ScanDevices(const CommandContext& context) {
  std::optional<std::vector<HidDeviceInfo>> devices = context.backend.scan();
  if (!devices) {
    throw CliError(ExitCode::TransferFailed, "the system's HID devices could not be listed");
  }
  return std::move(*devices);
}

StickConnection::StickConnection(const CommandContext& context)
    : session_(context.sleep, TracerFor(context)), context_(context), info_(ChooseStick(context)) {
  device_ = context.backend.open(info_);
  if (!device_) throw CliError(ExitCode::NoStick, "the stick " + info_.path + " is gone");
  name_ = Utf8Of(device_->productString());
  if (!device_->readWrite()) {
    throw CliError(ExitCode::NoAccess, "no access to the stick " + info_.path + ": " + NoAccessHint());
  }
  // The window, too, keeps the low 8 bits of the length.
  const auto featureLength = static_cast<std::uint8_t>(device_->caps().FeatureReportByteLength & 0xFF);
  if (featureLength == 0) {
    throw CliError(ExitCode::TransferFailed,
                   "the stick " + info_.path + " tells no feature report length; nothing was sent");
  }
  session_.Attach(device_.get(), featureLength);
}

ParamAnswer StickConnection::Read() {
  context_.sleep(kSettleMs);
  Check(session_.PreCommand());
  ReadResult read = session_.ReadParams();
  Check(read);
  return *read.answer;
}

void StickConnection::Write(const ParamBlock& block) { Check(session_.WriteParams(block), "write"); }

void StickConnection::LoadDefaults() { Check(session_.LoadDefaults(), "load defaults"); }

}  // namespace vorlane::cli
