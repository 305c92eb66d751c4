// window-probe: starts a program on an X server and watches it from outside, as a
// user's screen would see it. Prints one line of key=value figures:
//
//   map_ms     exec -> the program's first top-level window is mapped
//   frame_ms   exec -> the last screen change of the first frame (the screen then
//              stays unchanged for --quiet-ms)
//   rss_kib, hwm_kib          resident and peak resident memory at --hold-ms after exec
//   idle_cpu_ms, idle_wakeups CPU time and context switches (all threads) over --idle-ms
//   idle_repaints             bursts of screen changes over --idle-ms
//   cpu_ms, maxrss_kib        CPU time and peak resident memory of the whole run
//
// The program is ended with SIGTERM once the last phase is over. Screen changes are
// seen through a DAMAGE object on the root window, so the X server must run nothing
// else (bench/run starts an Xvfb of its own).
//
//   window-probe [--quiet-ms N] [--hold-ms N] [--idle-ms N] -- PROGRAM [ARGS...]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "proc_stats.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Options {
  int quietMs = 150;
  int holdMs = 0;
  int idleMs = 0;
  int timeoutMs = 20000;
  char** program = nullptr;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr, "usage: window-probe [--quiet-ms N] [--hold-ms N] [--idle-ms N] "
                       "[--timeout-ms N] -- PROGRAM [ARGS...]\n");
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto number = [&] {
      if (i + 1 >= argc) Usage();
      return std::atoi(argv[++i]);
    };
    if (arg == "--quiet-ms") o.quietMs = number();
    else if (arg == "--hold-ms") o.holdMs = number();
    else if (arg == "--idle-ms") o.idleMs = number();
    else if (arg == "--timeout-ms") o.timeoutMs = number();
    else if (arg == "--") {
      if (i + 1 >= argc) Usage();
      o.program = argv + i + 1;
      return o;
    } else Usage();
  }
  Usage();
}

// Screen changes arrive as a stream of rectangles; those less than this apart belong
// to one repaint.
constexpr double kBurstGapMs = 5.0;

class ScreenWatch {
 public:
  bool connect() {
    conn_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn_)) return fail("cannot connect to the X server");
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(conn_, &xcb_damage_id);
    if (!damage || !damage->present) return fail("the X server has no DAMAGE extension");
    damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
    std::free(xcb_damage_query_version_reply(conn_, xcb_damage_query_version(conn_, 1, 1), nullptr));
    root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_damage_damage_t damage_id = xcb_generate_id(conn_);
    xcb_damage_create(conn_, damage_id, root_, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    // The pointer waits in the screen's corner, over no window: a program whose control
    // happened to lie under it would load its cursor while the other did not.
    xcb_warp_pointer(conn_, XCB_NONE, root_, 0, 0, 0, 0, 0, 0);
    // Everything above has reached the server before the program starts.
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
    return true;
  }

  // Handles the events that arrive until deadline (or at once when none wait).
  void pump(Clock::time_point deadline) {
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
        handle(event, Clock::now());
        std::free(event);
      }
      const double left = MsBetween(Clock::now(), deadline);
      if (left <= 0) return;
      pollfd fd{xcb_get_file_descriptor(conn_), POLLIN, 0};
      if (::poll(&fd, 1, static_cast<int>(left) + 1) <= 0) return;
      if (xcb_connection_has_error(conn_)) return;
    }
  }

  bool mapped() const { return mapped_; }
  Clock::time_point mapTime() const { return mapTime_; }
  bool changedSinceMap() const { return changedSinceMap_; }
  Clock::time_point lastChange() const { return lastChange_; }
  void startCountingRepaints() {
    repaints_ = 0;
    counting_ = true;
  }
  int repaints() const { return repaints_; }
  const std::string& error() const { return error_; }

 private:
  bool fail(const char* why) {
    error_ = why;
    return false;
  }

  void handle(const xcb_generic_event_t* event, Clock::time_point at) {
    const int type = event->response_type & 0x7f;
    if (type == XCB_MAP_NOTIFY) {
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      if (!mapped_ && !map->override_redirect && map->event == root_) {
        mapped_ = true;
        mapTime_ = at;
      }
    } else if (type == damageEvent_) {
      if (counting_ && MsBetween(lastChange_, at) > kBurstGapMs) ++repaints_;
      lastChange_ = at;
      if (mapped_) changedSinceMap_ = true;
    }
  }

  xcb_connection_t* conn_ = nullptr;
  xcb_window_t root_ = 0;
  int damageEvent_ = -1;
  bool mapped_ = false;
  bool changedSinceMap_ = false;
  bool counting_ = false;
  int repaints_ = 0;
  Clock::time_point mapTime_{};
  Clock::time_point lastChange_{};
  std::string error_;
};

int Fail(const std::string& why, pid_t child) {
  std::fprintf(stderr, "window-probe: %s\n", why.c_str());
  if (child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  ScreenWatch screen;
  if (!screen.connect()) return Fail(screen.error(), 0);

  pid_t child = 0;
  const Clock::time_point exec = Clock::now();
  if (const int error = ::posix_spawnp(&child, options.program[0], nullptr, nullptr, options.program, environ)) {
    return Fail(std::string("cannot start ") + options.program[0] + ": " + std::strerror(error), 0);
  }
  const Clock::time_point giveUp = exec + std::chrono::milliseconds(options.timeoutMs);

  // The first frame is complete when the screen has not changed for quietMs after
  // a change that followed the map.
  const auto quiet = std::chrono::milliseconds(options.quietMs);
  while (!(screen.changedSinceMap() && Clock::now() - screen.lastChange() >= quiet)) {
    if (Clock::now() >= giveUp) return Fail("no window was mapped and painted in time", child);
    if (::waitpid(child, nullptr, WNOHANG) == child) return Fail("the program ended before its first frame", 0);
    const Clock::time_point next = screen.changedSinceMap() ? screen.lastChange() + quiet
                                                             : Clock::now() + std::chrono::milliseconds(50);
    screen.pump(next);
  }
  std::printf("map_ms=%.2f frame_ms=%.2f", MsBetween(exec, screen.mapTime()),
              MsBetween(exec, screen.lastChange()));

  if (options.holdMs > 0) {
    screen.pump(exec + std::chrono::milliseconds(options.holdMs));
    const MemoryFigures memory = ReadMemory(child);
    std::printf(" rss_kib=%ld hwm_kib=%ld", memory.rssKib, memory.hwmKib);
  }
  if (options.idleMs > 0) {
    const ThreadTotals before = ReadThreadTotals(child);
    screen.startCountingRepaints();
    screen.pump(Clock::now() + std::chrono::milliseconds(options.idleMs));
    const ThreadTotals after = ReadThreadTotals(child);
    std::printf(" idle_cpu_ms=%.2f idle_wakeups=%lld idle_repaints=%d",
                (after.cpuNs - before.cpuNs) / 1e6, after.switches - before.switches,
                screen.repaints());
  }

  ::kill(child, SIGTERM);
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return Fail("lost the program", 0);
  const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  std::printf(" cpu_ms=%.2f maxrss_kib=%ld\n", cpuMs, usage.ru_maxrss);
  return 0;
}
