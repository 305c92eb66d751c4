// The virtual stick's log: one line per report or event, flushed at once so that a
// test or a person watching the file sees every line as it happens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "config_report.h"

namespace virtualstick {

class ReportLog {
 public:
  // Standard output when path is empty. A path is opened as OpenOwnFileForWriting()
  // does: never through a symbolic link, never over another user's file.
  // Throws std::system_error.
  explicit ReportLog(const std::string& path);
  ~ReportLog();

  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  // "W  " for a report written to the stick, "R  " for an answer read from it.
  void Report(std::span<const std::uint8_t> bytes, vorlane::TraceDirection direction);
  // "# " and the text.
  void Event(std::string_view text);

 private:
  void Line(std::string_view line);

  std::FILE* file_;
};

}  // namespace virtualstick
