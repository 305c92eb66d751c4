#include "stick_model.h"

#include <algorithm>

namespace vorlane {

namespace {

std::uint16_t CommandOf(std::span<const std::uint8_t> report) {
  const std::uint8_t low = report.size() > 3 ? report[3] : 0;
  const std::uint8_t high = report.size() > 4 ? report[4] : 0;
  return static_cast<std::uint16_t>(low | high << 8);
}

}  // namespace

ParamBlock StickModel::FactoryBlock() {
  ParamBlock block{};
  for (int axis = 0; axis < kAxisCount; ++axis) {
    block[ParamBlockIndex(axis, ParamKind::DeadZoneStart)] = 5;
    block[ParamBlockIndex(axis, ParamKind::DeadZoneEnd)] = 10;
    block[ParamBlockIndex(axis, ParamKind::Resolution)] = 10;
  }
  return block;
}

StickModel::StickModel() : StickModel(FactoryBlock()) {}

StickModel::StickModel(const ParamBlock& params, bool calibrated)
    : params_(params), factory_(FactoryBlock()), status_(calibrated ? 0x01 : 0x00) {}

bool StickModel::SetFeature(std::span<const std::uint8_t> report) {
  received_.emplace_back(report.begin(), report.end());
  answerArmed_ = false;
  if (report.size() < kHeaderSize || report[0] != REPORT_ID_CONFIG) {
    return false;
  }
  switch (CommandOf(report)) {
    case CMD_READ_PARAMS:
      answerArmed_ = true;
      return true;
    case CMD_WRITE_PARAMS:
      if (report.size() > kParamBlockOffset) {
        const std::size_t carried = std::min(params_.size(), report.size() - kParamBlockOffset);
        std::copy_n(report.begin() + kParamBlockOffset, carried, params_.begin());
      }
      return true;
    case CMD_LOAD_DEFAULTS:
      params_ = factory_;
      return true;
    case CMD_PRE:
    case CMD_BOOT_A:
    case CMD_BOOT_B:
      return true;
    default:
      return false;
  }
}

std::size_t StickModel::GetFeature(std::span<std::uint8_t> buffer) {
  if (failReads_ || !answerArmed_ || buffer.empty() || buffer[0] != REPORT_ID_CONFIG) {
    return 0;
  }
  std::array<std::uint8_t, kParamBlockOffset + kParamBlockSize> answer{
      REPORT_ID_CONFIG, REPORT_MAGIC, CMD_GROUP, CMD_READ_PARAMS & 0xFF, CMD_READ_PARAMS >> 8,
      status_};
  std::ranges::copy(params_, answer.begin() + kParamBlockOffset);

  std::ranges::fill(buffer, std::uint8_t{0});
  std::copy_n(answer.begin(), std::min(buffer.size(), answer.size()), buffer.begin());
  return buffer.size();
}

std::vector<std::uint16_t> StickModel::ReceivedCommands() const {
  std::vector<std::uint16_t> commands;
  commands.reserve(received_.size());
  for (const auto& report : received_) {
    commands.push_back(CommandOf(report));
  }
  return commands;
}

}  // namespace vorlane
