#include "proc_stats.h"

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The number after "Key:" in a /proc status file, or -1.
long long StatusField(const std::string& file, const char* key) {
  FILE* f = std::fopen(file.c_str(), "r");
  if (!f) return -1;
  char line[256];
  long long value = -1;
  const std::size_t length = std::strlen(key);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, key, length) == 0 && line[length] == ':') {
      value = std::strtoll(line + length + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return value;
}

}  // namespace

MemoryFigures ReadMemory(pid_t pid) {
  const std::string status = "/proc/" + std::to_string(pid) + "/status";
  return {static_cast<long>(StatusField(status, "VmRSS")), static_cast<long>(StatusField(status, "VmHWM"))};
}

ThreadTotals ReadThreadTotals(pid_t pid) {
  ThreadTotals totals;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = ::opendir(tasks.c_str());
  if (!dir) return totals;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string task = tasks + "/" + entry->d_name;
    if (FILE* f = std::fopen((task + "/schedstat").c_str(), "r")) {
      long long ns = 0;
      if (std::fscanf(f, "%lld", &ns) == 1) totals.cpuNs += ns;
      std::fclose(f);
    }
    const long long voluntary = StatusField(task + "/status", "voluntary_ctxt_switches");
    if (voluntary > 0) totals.switches += voluntary;
  }
  ::closedir(dir);
  return totals;
}
