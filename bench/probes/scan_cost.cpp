// scan-cost: what a re-scan of the HID devices costs the window, against the number
// of devices. For each count N the window runs over a simulated backend with N
// devices, one of them the stick; once it has read the stick it is timed for
//   scan_us     a re-scan that finds nothing changed (a system notification that
//               concerned no HID device)
//   hotplug_us  one device plugged or pulled: the re-scan and the window's pass
//               over the devices that follows it
// Prints one line of key=value figures per count, and "opened=" with the number of
// devices ever opened, which must be 1: the stick.
//
//   scan-cost [--rounds N] COUNT...
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "main_form.h"
#include "sim_backend.h"
#include "stick_identity.h"
#include "stick_model.h"

using namespace vorlane;

namespace {

using Clock = std::chrono::steady_clock;

SimDevice OtherDevice(int n) {
  SimDevice device;
  device.attributes = {static_cast<std::uint16_t>(0x1000 + n % 0x100), static_cast<std::uint16_t>(n), 0x0100};
  device.featureReportByteLength = 8;
  device.productString = u"Other HID device";
  return device;
}

SimDevice Stick() {
  SimDevice stick;
  stick.attributes = {kStickVendorId, kStickProductId, 0x0100};
  stick.featureReportByteLength = 64;
  stick.productString = u"Simulated stick";
  stick.stick = std::make_shared<StickModel>(ParamBlock{}, true);
  return stick;
}

// Microseconds per call of step, averaged over rounds calls.
template <typename Step>
double MicrosecondsPer(int rounds, Step step) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < rounds; ++i) step(i);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
}

void Measure(int count, int rounds) {
  auto owned = std::make_unique<SimBackend>();
  SimBackend& sim = *owned;
  // The stick in the middle of the scan order, as among a machine's other devices.
  std::string stickPath;
  for (int i = 0; i < count; ++i) {
    if (i == count / 2) stickPath = sim.Plug(Stick(), Announce::Later);
    else sim.Plug(OtherDevice(i), Announce::Later);
  }
  TMainForm form(std::move(owned));
  form.Sleep = [](int) {};  // the protocol's pauses are not what is measured here
  QElapsedTimer waited;
  waited.start();
  while ((form.CurDevice == nullptr || form.Timer3->isActive()) && waited.elapsed() < 5000) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  if (form.CurDevice == nullptr || !form.Session.BlockRead()) {
    std::printf("devices=%d error=the stick was not read\n", count);
    return;
  }

  const int scans = std::max(5, rounds / count);
  const double scanUs = MicrosecondsPer(scans, [&sim](int) { sim.Notify(); });
  // Plug and pull one further device in turn: every call is one hotplug event. The
  // window keeps every pulled device that is not the stick listed, so the number of
  // events is kept small and the same for every count.
  std::string extra;
  constexpr int events = 20;
  const double hotplugUs = MicrosecondsPer(events, [&sim, &extra](int i) {
    if (i % 2 == 0) extra = sim.Plug(OtherDevice(0));
    else sim.Pull(extra);
  });
  std::printf("devices=%d scan_us=%.2f hotplug_us=%.2f listed=%d opened=%zu stick_opened=%d\n", count,
              scanUs, hotplugUs, form.HidCtl->Count(), sim.OpenedPaths().size(),
              sim.OpenCount(stickPath) > 0 ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int rounds = 20000;
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) rounds = std::atoi(argv[++i]);
    else if (std::atoi(argv[i]) > 0) counts.push_back(std::atoi(argv[i]));
    else {
      std::fprintf(stderr, "usage: scan-cost [--rounds N] COUNT...\n");
      return 2;
    }
  }
  for (const int count : counts) Measure(count, rounds);
  return 0;
}
