#include "options.h"

#include <getopt.h>
#include <linux/uhid.h>

#include <charconv>
#include <optional>
#include <string_view>

#include "stick_identity.h"
#include "stick_model.h"

namespace virtualstick {
namespace {

// A report with its id byte must fit into one uhid transfer.
constexpr std::size_t kLargestFeatureLength = UHID_DATA_MAX - 1;
// The largest product name the kernel keeps (the name field holds a NUL too).
constexpr std::size_t kLargestNameLength = sizeof(uhid_create2_req::name) - 1;

enum OptionId {
  kFeatureLength = 1000,
  kCalibrated,
  kNotCalibrated,
  kParams,
  kReadDelay,
  kFailReads,
  kVendor,
  kProduct,
  kName,
  kLog,
  kReadyFile,
  kHelp,
};

constexpr option kLongOptions[] = {
    {"feature-length", required_argument, nullptr, kFeatureLength},
    {"calibrated", no_argument, nullptr, kCalibrated},
    {"not-calibrated", no_argument, nullptr, kNotCalibrated},
    {"params", required_argument, nullptr, kParams},
    {"read-delay-ms", required_argument, nullptr, kReadDelay},
    {"fail-reads", no_argument, nullptr, kFailReads},
    {"vendor", required_argument, nullptr, kVendor},
    {"product", required_argument, nullptr, kProduct},
    {"name", required_argument, nullptr, kName},
    {"log", required_argument, nullptr, kLog},
    {"ready-file", required_argument, nullptr, kReadyFile},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

// Decimal, or hexadecimal with a 0x prefix; nothing else may follow the digits.
std::optional<unsigned long> ParseNumber(std::string_view text, unsigned long largest) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || ec != std::errc() || ptr != end || value > largest) {
    return std::nullopt;
  }
  return value;
}

std::optional<vorlane::ParamBlock> ParseParams(std::string_view hex) {
  vorlane::ParamBlock block{};
  if (hex.size() != 2 * block.size()) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < block.size(); ++i) {
    const char* first = hex.data() + 2 * i;
    auto [ptr, ec] = std::from_chars(first, first + 2, block[i], 16);
    if (ec != std::errc() || ptr != first + 2) {
      return std::nullopt;
    }
  }
  return block;
}

}  // namespace

Options DefaultOptions() {
  Options options;
  options.params = vorlane::StickModel::FactoryBlock();
  options.vendorId = vorlane::kStickVendorId;
  options.productId = vorlane::kStickProductCode ^ vorlane::kProductIdMask;
  options.name = "Vorlane Virtual Stick";
  return options;
}

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
  ParsedCommandLine result;
  result.options = DefaultOptions();
  Options& o = result.options;
  auto fail = [&result](std::string message) {
    result.action = ParsedCommandLine::Action::Error;
    result.error = std::move(message);
    return result;
  };

  optind = 0;  // full re-initialisation of getopt, so the parser can run more than once
  opterr = 0;
  int id;
  while ((id = getopt_long(argc, argv, "", kLongOptions, nullptr)) != -1) {
    const std::string_view arg = optarg ? optarg : "";
    switch (id) {
      case kFeatureLength: {
        auto n = ParseNumber(arg, kLargestFeatureLength);
        if (!n || *n == 0) {
          return fail("--feature-length wants a number from 1 to " +
                      std::to_string(kLargestFeatureLength) + ", not '" + std::string(arg) + "'");
        }
        o.featureLength = *n;
        break;
      }
      case kCalibrated:
        o.calibrated = true;
        break;
      case kNotCalibrated:
        o.calibrated = false;
        break;
      case kParams: {
        auto block = ParseParams(arg);
        if (!block) {
          return fail("--params wants 48 hexadecimal digits (24 bytes), not '" +
                      std::string(arg) + "'");
        }
        o.params = *block;
        break;
      }
      case kReadDelay: {
        auto ms = ParseNumber(arg, 60'000);
        if (!ms) {
          return fail("--read-delay-ms wants a number of milliseconds up to 60000, not '" +
                      std::string(arg) + "'");
        }
        o.readDelay = std::chrono::milliseconds(*ms);
        break;
      }
      case kFailReads:
        o.failReads = true;
        break;
      case kVendor:
      case kProduct: {
        auto value = ParseNumber(arg, 0xFFFF);
        if (!value) {
          return fail(std::string(id == kVendor ? "--vendor" : "--product") +
                      " wants a 16-bit id such as 0x11C0, not '" + std::string(arg) + "'");
        }
        if (id == kVendor) {
          o.vendorId = static_cast<std::uint16_t>(*value);
        } else {
          o.productId = static_cast<std::uint16_t>(*value);
        }
        break;
      }
      case kName:
        if (arg.size() > kLargestNameLength) {
          return fail("--name is longer than " + std::to_string(kLargestNameLength) + " bytes");
        }
        o.name = arg;
        break;
      case kLog:
        o.logPath = arg;
        break;
      case kReadyFile:
        o.readyFile = arg;
        break;
      case kHelp:
        result.action = ParsedCommandLine::Action::Help;
        return result;
      case ':':
        return fail(std::string("option ") + argv[optind - 1] + " needs a value");
      default:
        return fail(std::string("unknown option ") + argv[optind - 1]);
    }
  }
  if (optind < argc) {
    return fail(std::string("unexpected argument '") + argv[optind] + "'");
  }
  return result;
}

std::string HelpText() {
  return R"(Usage: virtual-stick [OPTION]...
Creates a virtual USB flight stick through /dev/uhid, so that Vorlane can be tried
without the hardware. The kernel presents it like a plugged-in stick (a /dev/hidrawN
node appears); it answers the configuration reports as the stick does and logs every
report. Stop it with Ctrl+C or SIGTERM: the stick is then unplugged.

Needs read and write access to /dev/uhid (the uhid module must be loaded; usually
run it as root). Vorlane in turn needs read and write access to the new hidraw node:
Vorlane's udev rule grants it to the user at the seat, as for the real stick; without
the rule, 'sudo setfacl -m u:$USER:rw /dev/hidrawN' grants it to you alone.

The stick:
  --feature-length N   bytes of the configuration feature report after its id
                       (default 127; Vorlane then sees a length of 128)
  --calibrated         report the stick as calibrated (the default)
  --not-calibrated     report the stick as not calibrated
  --params HEX         initial parameter block: 48 hexadecimal digits, the 24 bytes
                       in report order (8 dead-zone starts in tenths, 8 dead-zone
                       ends in tenths, 8 resolutions); default: the factory block
  --read-delay-ms N    answer every read only after N milliseconds
  --fail-reads         answer every read with an error

Pretending another device:
  --vendor ID          vendor id, decimal or 0x-hexadecimal (default 0x11C0)
  --product ID         product id (default 0x5606)
  --name TEXT          product name (default "Vorlane Virtual Stick")

Running:
  --log FILE           write the log to FILE instead of standard output
  --ready-file FILE    write the process id to FILE once the kernel has started the
                       stick
  --help               show this text

Log: one line per event, flushed at once. Reports are shown byte by byte as
two hexadecimal digits and a blank:
  W  59 A5 ...         a feature report written to the stick, as received
  R  59 ...            the stick's answer to a feature report read
  # ...                other events: start, stop, open, close, output reports,
                       failed or refused requests
)";
}

}  // namespace virtualstick
