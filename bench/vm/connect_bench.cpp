// connect-bench: the window over the libudev backend in the test machine, against a
// virtual stick, timed. Per run it plugs a stick in, waits until the grid shows its
// parameters, then clicks Save and Load defaults, and prints a "timing:" line with
//   added_found_ms   the hidraw node announced by the kernel -> the window opens the stick
//   found_grid_ms    the window opens the stick -> the UI thread is free again after
//                    filling the grid with the answer (floor: the 100 ms wait, then the
//                    5 ms and 10 ms pauses of the read)
//   found_timer_ms   the window opens the stick -> the 100 ms timer fires (the first
//                    pause begins)
//   transfers_ms     the three feature report transfers of the read, added up
//   answer_grid_ms   the answer received -> the UI thread free again (grid filled)
//   stall_*_ms       the longest time the UI thread kept its event loop waiting during
//                    the connection, Save and Load defaults; *_net_ms without the
//                    protocol's pauses
//   scan_ms, open_ms the longest re-scan of the devices, and the opening of the stick
// and at the end the medians of all runs. It fails only when the stick did not get
// the reports it should: the figures are printed, never judged.
//
//   connect-bench [--runs N]
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QPushButton>
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
#include "stick_launcher.h"
#include "timed_backend.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kFoundToGridFloorMs = 100 + 5 + 10;
constexpr int kWaitMs = 5000;
// Time after a click within which its work is surely done.
constexpr int kClickSettleMs = 300;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the event loop for ms milliseconds. (QTest::qWait would sleep between its
// rounds of events, which would show up here as stalls of the UI thread.)
void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs the event loop until done() holds, looking every millisecond; false after 5 s.
template <typename Done>
bool WaitFor(Done done) {
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(1);
  QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
  return done();
}

using Figures = std::map<std::string, double>;

// Clicks the button from the event loop, as a user's click arrives, and returns the
// stalls of the UI thread while its work ran.
UiStallMeter::Stall Click(QPushButton* button, UiStallMeter& meter) {
  const Clock::time_point from = Clock::now();
  QTimer::singleShot(0, button, &QPushButton::click);
  Wait(kClickSettleMs);
  return meter.longest(from, Clock::now());
}

std::optional<Figures> RunOnce(int run, const QString& workDir) {
  UiStallMeter meter;
  HidrawAddWatch watch;
  auto recording = std::make_unique<RecordingBackend>(vorlane::CreatePlatformHidBackend());
  RecordingBackend& backend = *recording;
  auto timed = std::make_unique<TimedBackend>(std::move(recording));
  TimedBackend& timing = *timed;
  TMainForm form(std::move(timed));
  form.Sleep = [&meter](int ms) {
    const Clock::time_point from = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    meter.pause(from, Clock::now());
  };
  form.show();
  Wait(200);  // the first scan, with no stick

  const QString dir = workDir + QStringLiteral("/run%1").arg(run);
  QDir().mkpath(dir);
  StickLauncher stick(VIRTUAL_STICK_PATH, "Bench Stick " + std::to_string(run), dir.toStdString());
  const Clock::time_point plugged = Clock::now();
  stick.plug();
  const bool read = WaitFor([&] {
    return stick.failed() || (backend.transfers.size() >= 3 && !form.Timer3->isActive());
  });
  if (stick.failed()) {
    std::fprintf(stderr, "connect-bench: run %d: %s\n", run, stick.error().c_str());
    return std::nullopt;
  }
  if (!read || !form.Session.BlockRead()) {
    std::fprintf(stderr, "connect-bench: run %d: the stick's parameters were not read\n", run);
    return std::nullopt;
  }
  Wait(50);
  const auto added = watch.addedAt(QString::fromStdString(stick.node()));
  const Clock::time_point found = backend.opens.at(0);
  const Clock::time_point gridFilled = meter.firstFreeAfter(backend.transfers.at(2).done);
  const UiStallMeter::Stall connect = meter.longest(plugged, Clock::now());
  // The read: pause, pre-command, read request, pause, answer.
  const auto pauses = meter.pausesFrom(found);
  const auto& t = backend.transfers;
  if (pauses.size() < 2 || t.size() < 3) {
    std::fprintf(stderr, "connect-bench: run %d: the read took another course\n", run);
    return std::nullopt;
  }
  const Clock::time_point timerFired = pauses[0].first;
  const double transfers = Ms(t[0].done - pauses[0].second) + Ms(t[1].done - t[0].done) +
                           Ms(t[2].done - pauses[1].second);

  const UiStallMeter::Stall save = Click(form.controls().sButton1, meter);
  const UiStallMeter::Stall defaults = Click(form.controls().sButton2, meter);
  if (stick.reportsWritten() != 4) {
    std::fprintf(stderr, "connect-bench: run %d: Save and Load defaults did not both reach the stick\n", run);
    return std::nullopt;
  }
  Figures f;
  if (added) f["added_found_ms"] = Ms(found - *added);
  f["found_grid_ms"] = Ms(gridFilled - found);
  f["found_timer_ms"] = Ms(timerFired - found);
  f["transfers_ms"] = transfers;
  f["answer_grid_ms"] = Ms(gridFilled - t[2].done);
  f["stall_connect_ms"] = connect.totalMs;
  f["stall_connect_net_ms"] = connect.outsidePausesMs;
  f["stall_save_ms"] = save.totalMs;
  f["stall_defaults_ms"] = defaults.totalMs;
  // What the system's side of a connection costs the UI thread: the longest re-scan
  // and the opening of the stick.
  f["scan_ms"] = *std::max_element(timing.scanMs.begin(), timing.scanMs.end());
  f["open_ms"] = timing.openMs.at(0);
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
  QTemporaryDir work;
  std::map<std::string, std::vector<double>> all;
  for (int run = 1; run <= runs; ++run) {
    const std::optional<Figures> f = RunOnce(run, work.path());
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
