// hid-list: lists the HID devices the Windows backend finds and tells which one is
// the stick; with --read it also sends the pre-command and asks the stick for its
// parameter block, as the window does after connecting.
//
//   hid-list [--read]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "config_report.h"
#include "hid_backend.h"
#include "stick_identity.h"
#include "stick_session.h"
#include "win_text.h"

#include <windows.h>

namespace {

using vorlane::HidDeviceInfo;
using vorlane::HidDeviceIo;

// Pre-command and parameter read, as the window does after connecting, printing every
// report; false when the read did not bring a complete answer.
bool ReadParameters(HidDeviceIo& device, std::uint8_t featureLength) {
  vorlane::StickSession session(
      [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
      [](std::span<const std::uint8_t> bytes, vorlane::TraceDirection direction,
         const vorlane::TransferResult& result) {
        std::printf("    %s%s%s\n", vorlane::TraceLine(bytes, direction).c_str(),
                    result.ok ? "" : "FAILED: ", result.message.c_str());
      });
  session.Attach(&device, featureLength);
  session.PreCommand();
  const vorlane::ReadResult read = session.ReadParams();
  if (!read.answer) {
    std::printf("    no parameters read: %s\n", read.message.c_str());
    return false;
  }
  std::printf("    calibrated: %s\n", read.answer->calibrated ? "yes" : "no");
  return true;
}

// Prints what the opened stick tells; false when --read was asked and failed.
bool DescribeStick(vorlane::HidBackend& backend, const HidDeviceInfo& info, bool read) {
  const std::unique_ptr<HidDeviceIo> device = backend.open(info);
  if (!device) {
    std::printf("    cannot be opened\n");
    return false;
  }
  const vorlane::HidCaps caps = device->caps();
  std::printf("    access: %s\n", device->readWrite() ? "read-write" : "none");
  std::printf("    report lengths: input %u, output %u, feature %u\n",
              unsigned{caps.InputReportByteLength}, unsigned{caps.OutputReportByteLength},
              unsigned{caps.FeatureReportByteLength});
  std::printf("    product: \"%s\"\n",
              vorlane::win::Utf8FromUtf16(device->productString()).c_str());
  if (!read) return true;
  if (caps.FeatureReportByteLength == 0) {
    std::printf("    no feature report length, nothing sent\n");
    return false;
  }
  // The window, too, keeps the low 8 bits of the length.
  return ReadParameters(*device, static_cast<std::uint8_t>(caps.FeatureReportByteLength & 0xFF));
}

}  // namespace

int main(int argc, char** argv) {
  bool read = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--read") {
      read = true;
    } else {
      std::fprintf(stderr, "usage: hid-list [--read]\n");
      return 2;
    }
  }

  // Paths and product names are printed as UTF-8.
  SetConsoleOutputCP(CP_UTF8);

  const std::unique_ptr<vorlane::HidBackend> backend = vorlane::CreatePlatformHidBackend();
  const std::optional<std::vector<HidDeviceInfo>> scanned = backend->scan();
  if (!scanned) {
    std::printf("the HID devices could not be listed\n");
    return 1;
  }
  const std::vector<HidDeviceInfo>& devices = *scanned;
  if (devices.empty()) std::printf("no HID devices\n");

  bool ok = true;
  bool stickFound = false;
  for (const HidDeviceInfo& info : devices) {
    const bool stick = vorlane::IsStick(info.classGuidText, info.attributes,
                                        vorlane::kStickVendorId, vorlane::kStickProductCode);
    std::printf("%s\n", info.path.c_str());
    std::printf("    class %s, vendor 0x%04X, product 0x%04X, version 0x%04X%s\n",
                info.classGuidText.empty() ? "(unreadable)" : info.classGuidText.c_str(),
                unsigned{info.attributes.VendorID}, unsigned{info.attributes.ProductID},
                unsigned{info.attributes.VersionNumber}, stick ? ", the stick" : "");
    if (stick) {
      stickFound = true;
      ok = DescribeStick(*backend, info, read) && ok;
    }
  }
  if (read && !stickFound) {
    std::printf("no stick found, nothing sent\n");
    return 1;
  }
  return ok ? 0 : 1;
}
