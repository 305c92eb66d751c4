#include "report_log.h"

#include <cerrno>
#include <system_error>

namespace virtualstick {

ReportLog::ReportLog(const std::string& path)
    : file_(path.empty() ? stdout : std::fopen(path.c_str(), "we")) {
  if (!file_) {
    throw std::system_error(errno, std::generic_category(), "cannot create log " + path);
  }
}

ReportLog::~ReportLog() {
  if (file_ != stdout) {
    std::fclose(file_);
  }
}

void ReportLog::Report(std::span<const std::uint8_t> bytes, vorlane::TraceDirection direction) {
  Line(vorlane::TraceLine(bytes, direction));
}

void ReportLog::Event(std::string_view text) {
  Line("# " + std::string(text));
}

void ReportLog::Line(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace virtualstick
