#include "report_descriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

namespace vorlane {
namespace {

// HID 1.11, 6.2.2: a short item starts with a prefix byte holding bSize (bits 0-1),
// bType (bits 2-3) and bTag (bits 4-7); a long item starts with 0xFE.
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::array<std::size_t, 4> kShortItemDataSize = {0, 1, 2, 4};
// Prefix, bDataSize and bLongItemTag.
constexpr std::size_t kLongItemHeaderSize = 3;

constexpr std::uint8_t kTypeMain = 0;
constexpr std::uint8_t kTypeGlobal = 1;

constexpr std::uint8_t kTagFeature = 0xB;

constexpr std::uint8_t kTagReportSize = 0x7;
constexpr std::uint8_t kTagReportId = 0x8;
constexpr std::uint8_t kTagReportCount = 0x9;
constexpr std::uint8_t kTagPush = 0xA;
constexpr std::uint8_t kTagPop = 0xB;

constexpr std::uint32_t kMaxReportId = 0xFF;
// Reports without a declared id are kept under 0, which no Report ID item may name.
constexpr std::size_t kReportIdSlots = kMaxReportId + 1;

constexpr std::uint64_t kMaxBits = std::numeric_limits<std::uint64_t>::max();

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return b > kMaxBits - a ? kMaxBits : a + b;
}

// Total size of the item at the front of rest, or nullopt when its data runs past
// the end. rest is not empty.
std::optional<std::size_t> ItemSize(std::span<const std::uint8_t> rest) {
  std::size_t size = 0;
  if (rest[0] == kLongItemPrefix) {
    if (rest.size() < kLongItemHeaderSize) {
      return std::nullopt;
    }
    size = kLongItemHeaderSize + rest[1];
  } else {
    size = 1 + kShortItemDataSize[rest[0] & 0x03];
  }
  if (size > rest.size()) {
    return std::nullopt;
  }
  return size;
}

// Item data is little-endian and at most four bytes.
std::uint32_t UnsignedValue(std::span<const std::uint8_t> data) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    value |= std::uint32_t{data[i]} << (8 * i);
  }
  return value;
}

// The part of the global item state that decides report lengths.
struct GlobalState {
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint32_t reportId = 0;
};

class FeatureReportCounter {
 public:
  void applyMain(std::uint8_t tag) {
    // Input, Output and the collection items do not touch feature reports.
    if (tag != kTagFeature) {
      return;
    }
    std::uint64_t& bits = featureBits_[globals_.reportId];
    bits = SaturatingAdd(bits, std::uint64_t{globals_.reportSize} * globals_.reportCount);
    longestBits_ = std::max(longestBits_.value_or(0), bits);
  }

  void applyGlobal(std::uint8_t tag, std::uint32_t value) {
    switch (tag) {
      case kTagReportSize:
        globals_.reportSize = value;
        break;
      case kTagReportCount:
        globals_.reportCount = value;
        break;
      case kTagReportId:
        if (value == 0 || value > kMaxReportId) {
          info_.malformed = true;
          break;
        }
        globals_.reportId = value;
        info_.usesReportIds = true;
        break;
      case kTagPush:
        if (pushed_.size() == kMaxPushDepth) {
          info_.malformed = true;
          break;
        }
        pushed_.push_back(globals_);
        break;
      case kTagPop:
        if (pushed_.empty()) {
          info_.malformed = true;
          break;
        }
        globals_ = pushed_.back();
        pushed_.pop_back();
        break;
      default:
        break;
    }
  }

  void markMalformed() { info_.malformed = true; }

  FeatureReportInfo result() const {
    FeatureReportInfo info = info_;
    if (longestBits_) {
      const std::uint64_t bits = *longestBits_;
      const std::uint64_t bytes = bits / 8 + (bits % 8 != 0 ? 1 : 0) + 1;
      info.featureReportByteLength = static_cast<std::size_t>(
          std::min<std::uint64_t>(bytes, std::numeric_limits<std::size_t>::max()));
    }
    return info;
  }

 private:
  GlobalState globals_;
  std::vector<GlobalState> pushed_;
  std::array<std::uint64_t, kReportIdSlots> featureBits_{};
  // Bits of the longest feature report; empty until a Feature item is seen.
  std::optional<std::uint64_t> longestBits_;
  FeatureReportInfo info_;
};

}  // namespace

FeatureReportInfo ParseFeatureReports(std::span<const std::uint8_t> descriptor) {
  FeatureReportCounter counter;
  std::span<const std::uint8_t> rest = descriptor;
  while (!rest.empty()) {
    const std::optional<std::size_t> size = ItemSize(rest);
    if (!size) {
      counter.markMalformed();
      break;
    }
    const std::span<const std::uint8_t> item = rest.first(*size);
    rest = rest.subspan(*size);

    // Long items (no long item tags are defined) and local items (usages, strings,
    // designators) carry nothing that decides report lengths.
    if (item[0] == kLongItemPrefix) {
      continue;
    }
    const std::uint8_t type = (item[0] >> 2) & 0x03;
    const std::uint8_t tag = item[0] >> 4;
    if (type == kTypeMain) {
      counter.applyMain(tag);
    } else if (type == kTypeGlobal) {
      counter.applyGlobal(tag, UnsignedValue(item.subspan(1)));
    }
  }
  return counter.result();
}

}  // namespace vorlane
