// connect-bench: the window over the libudev backend in the test machine, against a
// virtual stick, timed. Per run it plugs a stick in, waits until the grid shows its
// parameters, then clicks Save and Load defaults, and prints a "timing:" line with
//   added_found_ms   the hidraw node announced by the kernel -> the window opens the stick
//   found_grid_ms    the window opens the stick -> the UI thread is free again after
//                    filling the grid with the answer (floor: the 100 ms wait, then the
//                    5 ms and 10 ms pauses of the read)
//   stall_*_ms       the longest time the UI thread kept its event loop waiting during
//                    the connection, Save and Load defaults; *_net_ms without the
//                    protocol's pauses
// and at the end the medians of all runs. It fails only when the stick did not get
// the reports it should: the figures are printed, never judged.
//
//   connect-bench [--runs N]
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hidraw_add_watch.h"
#include "main_form.h"
#include "recording_backend.h"
#include "ui_main_form.h"
#include "ui_stall_meter.h"
#include "virtual_stick_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kFoundToGridFloorMs = 100 + 5 + 10;
constexpr int kWaitMs = 5000;
// Time after a click within which its work is surely done.
constexpr int kClickSettleMs = 300;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename Done>
bool WaitFor(Done done) {
  const QDeadlineTimer deadline(kWaitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(2);
  }
  return true;
}

using Figures = std::map<std::string, double>;

// Clicks the button from the event loop, as a user's click arrives, and returns the
// stalls of the UI thread while its work ran.
UiStallMeter::Stall Click(QPushButton* button, UiStallMeter& meter) {
  const Clock::time_point from = Clock::now();
  QTimer::singleShot(0, button, &QPushButton::click);
  QTest::qWait(kClickSettleMs);
  return meter.longest(from, Clock::now());
}

std::optional<Figures> RunOnce(int run) {
  UiStallMeter meter;
  HidrawAddWatch watch;
  auto recording = std::make_unique<RecordingBackend>(vorlane::CreatePlatformHidBackend());
  RecordingBackend& backend = *recording;
  TMainForm form(std::move(recording));
  form.Sleep = [&meter](int ms) {
    const Clock::time_point from = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    meter.pause(from, Clock::now());
  };
  form.show();
  QTest::qWait(200);  // the first scan, with no stick

  VirtualStickProcess stick;
  const Clock::time_point plugged = Clock::now();
  if (!stick.plug()) {
    std::fprintf(stderr, "connect-bench: run %d: %s\n", run, qPrintable(stick.error()));
    return std::nullopt;
  }
  if (!WaitFor([&] { return backend.transfers.size() >= 3 && !form.Timer3->isActive(); }) ||
      !form.Session.BlockRead()) {
    std::fprintf(stderr, "connect-bench: run %d: the stick's parameters were not read\n", run);
    return std::nullopt;
  }
  QTest::qWait(50);
  const auto added = watch.addedAt(stick.node());
  const Clock::time_point found = backend.opens.at(0);
  const Clock::time_point gridFilled = meter.firstFreeAfter(backend.transfers.at(2).done);
  const UiStallMeter::Stall connect = meter.longest(plugged, Clock::now());

  const UiStallMeter::Stall save = Click(form.controls().sButton1, meter);
  const UiStallMeter::Stall defaults = Click(form.controls().sButton2, meter);
  if (stick.written().size() != 4) {
    std::fprintf(stderr, "connect-bench: run %d: Save and Load defaults did not both reach the stick\n", run);
    return std::nullopt;
  }
  Figures f;
  if (added) f["added_found_ms"] = Ms(found - *added);
  f["found_grid_ms"] = Ms(gridFilled - found);
  f["stall_connect_ms"] = connect.totalMs;
  f["stall_connect_net_ms"] = connect.outsidePausesMs;
  f["stall_save_ms"] = save.totalMs;
  f["stall_defaults_ms"] = defaults.totalMs;
  return f;
}

void Print(const char* what, const Figures& f) {
  std::printf("timing: connect-bench %s:", what);
  for (const auto& [key, value] : f) std::printf(" %s=%.1f", key.c_str(), value);
  std::printf(" found_grid_floor_ms=%.0f\n", kFoundToGridFloorMs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
  }
  if (geteuid() != 0) {
    std::fprintf(stderr, "connect-bench: runs as root in the test machine (bench/run --vm)\n");
    return 2;
  }
  std::map<std::string, std::vector<double>> all;
  for (int run = 1; run <= runs; ++run) {
    const std::optional<Figures> f = RunOnce(run);
    if (!f) return 1;
    Print(("run " + std::to_string(run)).c_str(), *f);
    for (const auto& [key, value] : *f) all[key].push_back(value);
  }
  Figures medians;
  for (auto& [key, values] : all) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    medians[key] = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  }
  Print(("median of " + std::to_string(runs)).c_str(), medians);
  return 0;
}
