// libFuzzer entry point for the virtual stick's command line. The input, split at its
// newlines, gives the words after the program name (a word ends at a NUL, as in a
// real argument vector). Besides the sanitizers, it checks that a run's options lie
// within their documented ranges, that only an error carries a message, and that the
// same words parsed again give the same result.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "options.h"

namespace {

using virtualstick::ParsedCommandLine;

ParsedCommandLine Parse(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  return virtualstick::ParseCommandLine(static_cast<int>(words.size()), argv.data());
}

void CheckRanges(const virtualstick::Options& o) {
  FUZZ_CHECK(o.featureLength >= 1 && o.featureLength <= virtualstick::kLargestFeatureLength);
  FUZZ_CHECK(o.readDelay.count() >= 0 && o.readDelay <= virtualstick::kLongestReadDelay);
  FUZZ_CHECK(o.shortAnswer <= o.featureLength + 1);
  FUZZ_CHECK(o.name.size() <= virtualstick::kLargestNameLength);
  FUZZ_CHECK(o.name.find('\0') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words{"virtual-stick"};
  if (size > 0) {
    words.emplace_back();
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      words.emplace_back();
    } else {
      words.back().push_back(static_cast<char>(data[i]));
    }
  }
  for (std::string& word : words) {
    word.resize(word.find('\0') == std::string::npos ? word.size() : word.find('\0'));
  }

  const ParsedCommandLine parsed = Parse(words);
  switch (parsed.action) {
    case ParsedCommandLine::Action::Run:
      CheckRanges(parsed.options);
      FUZZ_CHECK(parsed.error.empty());
      break;
    case ParsedCommandLine::Action::Help:
      FUZZ_CHECK(parsed.error.empty());
      break;
    case ParsedCommandLine::Action::Error:
      FUZZ_CHECK(!parsed.error.empty());
      break;
  }
  FUZZ_CHECK(Parse(words) == parsed);
  return 0;
}
