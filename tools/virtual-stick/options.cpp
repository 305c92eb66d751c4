#include "options.h"

#include <linux/uhid.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stick_identity.h"
#include "stick_model.h"

namespace virtualstick {
namespace {

// A report with its id byte must fit into one uhid transfer.
static_assert(kLargestFeatureLength == UHID_DATA_MAX - 1);
// The name field holds a NUL too.
static_assert(kLargestNameLength == sizeof(uhid_create2_req::name) - 1);

// Decimal, or hexadecimal with a 0x prefix; nothing else may follow the digits.
// (Not CLI11's number conversion: that reads a leading 0 as octal and wraps "-1".)
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

// Thrown from an option's callback; CLI11 passes it on out of parse().
CLI::ValidationError Invalid(std::string message) {
  return CLI::ValidationError(std::move(message));
}

unsigned long Number(const std::string& option, const std::string& value, unsigned long first,
                     unsigned long largest, std::string_view what) {
  auto n = ParseNumber(value, largest);
  if (!n || *n < first) {
    throw Invalid(option + " wants " + std::string(what) + ", not '" + value + "'");
  }
  return *n;
}

// The option a CLI11 message is about (it names it first, with or without its dashes),
// as the user wrote it, and whether that option takes a value.
struct NamedOption {
  std::string name;
  bool known = false;
  bool takesValue = false;
};

NamedOption OptionNamedIn(const CLI::App& app, std::string_view message) {
  std::string_view name = message.substr(0, message.find_first_of(": "));
  while (name.starts_with('-')) {
    name.remove_prefix(1);
  }
  NamedOption named{"--" + std::string(name)};
  for (const CLI::Option* option : app.get_options()) {
    if (option->check_lname(std::string(name))) {
      named.known = true;
      named.takesValue = option->get_expected_min() > 0;
    }
  }
  return named;
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
    result = ParsedCommandLine{ParsedCommandLine::Action::Error, DefaultOptions(), std::move(message)};
    return result;
  };

  CLI::App app("virtual-stick", "virtual-stick");
  app.set_help_flag();  // our own --help below shows HelpText()
  app.allow_extras();   // leftovers are reported below, told apart as options or not
  // As before: an option given twice takes its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  auto value = [&app](const char* name, std::function<void(const std::string&)> take) {
    app.add_option_function<std::string>(name, std::move(take));
  };
  auto flag = [&app](const char* names, bool& target) {
    app.add_flag(names, target)->disable_flag_override();
  };

  value("--feature-length", [&o](const std::string& v) {
    o.featureLength = Number("--feature-length", v, 1, kLargestFeatureLength,
                             "a number from 1 to " + std::to_string(kLargestFeatureLength));
  });
  // The two are one option: the later one wins.
  flag("--calibrated,!--not-calibrated", o.calibrated);
  value("--params", [&o](const std::string& v) {
    auto block = ParseParams(v);
    if (!block) {
      throw Invalid("--params wants 48 hexadecimal digits (24 bytes), not '" + v + "'");
    }
    o.params = *block;
  });
  value("--read-delay-ms", [&o](const std::string& v) {
    o.readDelay = std::chrono::milliseconds(
        Number("--read-delay-ms", v, 0, static_cast<unsigned long>(kLongestReadDelay.count()),
               "a number of milliseconds up to " + std::to_string(kLongestReadDelay.count())));
  });
  flag("--fail-reads", o.failReads);
  // Checked against the feature length once both are known.
  value("--short-answer", [&o](const std::string& v) {
    o.shortAnswer = Number("--short-answer", v, 1, kLargestFeatureLength + 1,
                           "a number of bytes from 1 to the report's length");
  });
  flag("--refuse-sets", o.refuseSets);
  for (const char* name : {"--vendor", "--product"}) {
    std::uint16_t& id = std::string_view(name) == "--vendor" ? o.vendorId : o.productId;
    value(name, [name, &id](const std::string& v) {
      id = static_cast<std::uint16_t>(Number(name, v, 0, 0xFFFF, "a 16-bit id such as 0x11C0"));
    });
  }
  value("--name", [&o](const std::string& v) {
    if (v.size() > kLargestNameLength) {
      throw Invalid("--name is longer than " + std::to_string(kLargestNameLength) + " bytes");
    }
    o.name = v;
  });
  value("--log", [&o](const std::string& v) { o.logPath = v; });
  value("--ready-file", [&o](const std::string& v) { o.readyFile = v; });
  // Help wins as soon as it is read, before the values of other options are looked at.
  app.add_flag_callback("--help", [] { throw CLI::CallForHelp(); })
      ->disable_flag_override()
      ->trigger_on_parse();

  // CLI11 takes the words last to first. It reads "--log=" as "--log" and would take
  // the next word as the value, so an empty value after '=' is refused here.
  std::vector<std::string> words;
  for (int i = argc - 1; i > 0; --i) {
    words.emplace_back(argv[i]);
  }
  for (auto word = words.rbegin(); word != words.rend() && *word != "--"; ++word) {
    if (word->starts_with("--") && word->ends_with('=') && word->find('=') == word->size() - 1) {
      const NamedOption option = OptionNamedIn(app, word->substr(0, word->size() - 1));
      if (option.known && option.takesValue) {
        return fail("option " + option.name + " needs a value");
      }
    }
  }
  try {
    app.parse(std::move(words));
  } catch (const CLI::CallForHelp&) {
    result.action = ParsedCommandLine::Action::Help;
    return result;
  } catch (const CLI::ArgumentMismatch& e) {
    // A value option at the end without its value, or a flag given one with '='.
    const NamedOption option = OptionNamedIn(app, e.what());
    return fail("option " + option.name + (option.takesValue ? " needs a value" : " takes no value"));
  } catch (const CLI::Error& e) {
    return fail(e.what());
  } catch (const std::exception& e) {
    return fail(e.what());
  }

  // Whatever CLI11 left: after "--" only arguments, before it unknown options too.
  bool optionsEnded = false;
  for (const std::string& word : app.remaining()) {
    if (word == "--" && !optionsEnded) {
      optionsEnded = true;
    } else if (!optionsEnded && word.size() > 1 && word.front() == '-') {
      return fail("unknown option " + word);
    } else {
      return fail("unexpected argument '" + word + "'");
    }
  }
  if (o.shortAnswer > o.featureLength + 1) {
    return fail("--short-answer wants a number of bytes from 1 to " +
                std::to_string(o.featureLength + 1) + " (the report's length with its id), not " +
                std::to_string(o.shortAnswer));
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
  --read-delay-ms N    answer every read only after N milliseconds (up to 60000);
                       the kernel gives up on a read after about 5 seconds and
                       drops an answer that comes later
  --fail-reads         answer every read with an error
  --short-answer N     answer every read with only the first N bytes of the report,
                       its id counted (1 to the feature length + 1)
  --refuse-sets        answer every write with an error and keep nothing of it

Pretending another device:
  --vendor ID          vendor id, decimal or 0x-hexadecimal (default 0x11C0)
  --product ID         product id (default 0x5606)
  --name TEXT          product name (default "Vorlane Virtual Stick")

Running:
  --log FILE           write the log to FILE instead of standard output
  --ready-file FILE    write the process id to FILE once the kernel has started the
                       stick
  --help               show this text
As the tool usually runs as root, neither FILE may be a symbolic link, another
user's file or a file with other hard links.

Log: one line per event, flushed at once. Reports are shown byte by byte as
two hexadecimal digits and a blank:
  W  59 A5 ...         a feature report written to the stick, as received
  R  59 ...            the stick's answer to a feature report read
  # ...                other events: start, stop, open, close, output reports,
                       failed or refused requests
)";
}

}  // namespace virtualstick
