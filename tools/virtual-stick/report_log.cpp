#include "report_log.h"

#include "safe_files.h"

namespace virtualstick {

ReportLog::ReportLog(const std::string& path)
    : file_(path.empty() ? stdout : OpenOwnFileForWriting(path, "log")) {}

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
