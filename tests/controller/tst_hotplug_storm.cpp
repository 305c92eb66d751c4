// A seeded random storm of plugs and pulls against the window and its controller,
// through simulated devices: sticks and other devices, several sticks at once,
// pulls and replugs under the same path that one notification reports, access
// granted late, failing scans, and re-scans started from inside the controller's
// handlers. After every step the list, the opened devices and the window's stick are
// checked. VORLANE_STORM_SEED and VORLANE_STORM_STEPS replay or lengthen a storm.
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "main_form.h"
#include "sim_backend.h"
#include "stick_identity.h"
#include "test_reports.h"
#include "ui_main_form.h"

using namespace vorlane;

namespace {

// Distinct devices ever plugged; past this, plugging means plugging a pulled one again.
constexpr int kMostDevices = 48;
// Pulled devices kept for plugging again.
constexpr std::size_t kMostPulled = 12;

quint64 SeedFromEnvironment() {
  bool ok = false;
  const quint64 seed = qEnvironmentVariable("VORLANE_STORM_SEED").toULongLong(&ok);
  return ok ? seed : QRandomGenerator::system()->generate64();
}

int StepsFromEnvironment() {
  bool ok = false;
  const int steps = qEnvironmentVariableIntValue("VORLANE_STORM_STEPS", &ok);
  return ok && steps > 0 ? steps : 10000;
}

SimDevice MakeDevice(bool stick, bool readWrite, int number) {
  SimDevice device;
  device.attributes = stick ? HidAttributes{kStickVendorId, kStickProductId, 0x0100}
                            : HidAttributes{0x1234, static_cast<std::uint16_t>(number), 0x0100};
  device.featureReportByteLength = 64;
  device.productString = (stick ? u"Storm Stick " : u"Device ") + QString::number(number).toStdU16String();
  device.readWrite = readWrite;
  if (stick) device.stick = std::make_shared<StickModel>(RisingBlock(1, 2, 9), true);
  return device;
}

class Storm {
 public:
  Storm(quint64 seed) : seed_(seed), random_(seed) {
    auto backend = std::make_unique<SimBackend>();
    sim_ = backend.get();
    for (int i = 0; i < 3; ++i) plugNew(Announce::Later);
    form_ = std::make_unique<TMainForm>(std::move(backend));
    form_->Sleep = [](int) {};
    HidController& ctl = *form_->HidCtl;
    const auto onUnplug = ctl.OnDeviceUnplug;
    ctl.OnDeviceUnplug = [this, onUnplug](HidDevice* device) {
      if (!tearingDown_) noteUnplugged(device);
      onUnplug(device);
      maybeMeddle();
    };
    const auto onChange = ctl.OnDeviceChange;
    ctl.OnDeviceChange = [this, onChange] {
      onChange();
      maybeMeddle();
    };
    const auto onEnumerate = ctl.OnEnumerate;
    ctl.OnEnumerate = [this, onEnumerate](HidDevice* device, int index) {
      const bool more = onEnumerate(device, index);
      maybeMeddle();
      return more;
    };
    QCoreApplication::processEvents();  // the controller's first scan
  }

  // The controller reports the held devices as the window goes: not part of the storm.
  ~Storm() {
    tearingDown_ = true;
    form_.reset();
  }

  // Runs the steps; the first broken rule ends the storm and is returned.
  QString run(int steps) {
    for (step_ = 1; step_ <= steps && broken_.isEmpty(); ++step_) {
      const int ops = 1 + chance(3);
      for (int i = 0; i < ops && broken_.isEmpty(); ++i) operate();
      // The controller catches up with everything before the checks, with nothing new
      // happening meanwhile.
      quiet_ = true;
      sim_->FailScans(false);
      sim_->Notify();
      quiet_ = false;
      check();
    }
    return broken_;
  }

  QString figures() const {
    QStringList parts;
    for (const auto& [name, count] : counts_) parts << QStringLiteral("%1 %2").arg(QString::fromLatin1(name)).arg(count);
    return parts.join(QStringLiteral(", "));
  }

  const QString& broken() const { return broken_; }

 private:
  int chance(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  void count(const char* what) { ++counts_[what]; }

  void operate() {
    switch (chance(12)) {
      case 0: case 1: plug(); break;
      case 2: case 3: pull(randomAnnounce()); break;
      case 4: replugSamePathUnnoticed(); break;
      case 5: grantAccess(); break;
      case 6: sim_->Notify(); break;
      case 7:
        count("enumerations");
        form_->HidCtl->Enumerate();
        break;
      case 8:
        count("reads");
        form_->Timer3Timer();
        break;
      case 9:
        count("saves");
        form_->sButton1Click();
        break;
      case 10:
        count("failed scans");
        sim_->FailScans(true);
        sim_->Notify();
        sim_->FailScans(false);
        break;
      default: reannounce(); break;
    }
  }

  Announce randomAnnounce() { return chance(2) ? Announce::Now : Announce::Later; }

  // From inside a handler, now and then: what a user or the system may do meanwhile.
  void maybeMeddle() {
    if (quiet_ || tearingDown_ || meddling_ || chance(8) != 0) return;
    meddling_ = true;
    count("changes inside handlers");
    switch (chance(4)) {
      case 0: form_->HidCtl->DeviceChange(); break;
      case 1: plug(); break;
      case 2: pull(Announce::Now); break;
      default: form_->HidCtl->Enumerate(); break;
    }
    meddling_ = false;
  }

  void plugNew(Announce announce) {
    const bool stick = chance(3) == 0;
    const bool readWrite = !stick || chance(4) != 0;
    ++made_;
    // The bookkeeping comes first: the plug may reach handlers that plug or pull.
    const std::string path = sim_->Plug(MakeDevice(stick, readWrite, made_), Announce::Later);
    plugged_.push_back(path);
    count(stick ? "sticks plugged" : "other devices plugged");
    if (announce == Announce::Now) sim_->Notify();
  }

  void plug() {
    if (made_ < kMostDevices && (pulled_.empty() || chance(2))) {
      plugNew(randomAnnounce());
      return;
    }
    if (pulled_.empty()) return;
    const std::size_t i = static_cast<std::size_t>(chance(static_cast<int>(pulled_.size())));
    const std::string path = pulled_[i];
    pulled_.erase(pulled_.begin() + static_cast<std::ptrdiff_t>(i));
    plugged_.push_back(path);
    count("replugs");
    sim_->Replug(path, randomAnnounce());
  }

  void pull(Announce announce) {
    if (plugged_.empty()) return;
    const std::size_t i = static_cast<std::size_t>(chance(static_cast<int>(plugged_.size())));
    const std::string path = plugged_[i];
    plugged_.erase(plugged_.begin() + static_cast<std::ptrdiff_t>(i));
    pulled_.push_back(path);
    if (pulled_.size() > kMostPulled) {
      forget(pulled_.front());
      pulled_.erase(pulled_.begin());
    }
    count("pulls");
    sim_->Pull(path, announce);
  }

  // A pull and a replug under the same path, both heard of in one notification.
  void replugSamePathUnnoticed() {
    if (plugged_.empty()) return;
    const std::string path = plugged_[static_cast<std::size_t>(chance(static_cast<int>(plugged_.size())))];
    count("same-path replugs in one notification");
    sim_->Pull(path, Announce::Later);
    sim_->Replug(path, Announce::Later);
    plugged_.erase(std::find(plugged_.begin(), plugged_.end(), path));
    plugged_.push_back(path);
    sim_->Notify();
  }

  void grantAccess() {
    for (const std::string& path : plugged_) {
      SimDevice& device = sim_->Device(path);
      if (device.readWrite) continue;
      device.readWrite = true;
      count("access granted late");
      sim_->Reannounce(path, randomAnnounce());
      return;
    }
  }

  void reannounce() {
    if (plugged_.empty()) return;
    count("announced again");
    sim_->Reannounce(plugged_[static_cast<std::size_t>(chance(static_cast<int>(plugged_.size())))],
                     randomAnnounce());
  }

  // A pulled path that will not come back must not stay open.
  void forget(const std::string& path) {
    if (sim_->IsOpen(path)) breakRule(QStringLiteral("a device pulled long ago is still open: %1").arg(QString::fromStdString(path)));
  }

  void noteUnplugged(HidDevice* device) {
    count("unplugs reported");
    for (const auto& listed : form_->HidCtl->Listed()) {
      if (listed.device != device) continue;
      if (!reported_.insert(listed.serial).second) {
        breakRule(QStringLiteral("device %1 (%2) reported unplugged twice")
                      .arg(listed.serial)
                      .arg(QString::fromStdString(listed.path)));
      }
      return;
    }
    breakRule(QStringLiteral("a device reported unplugged is not listed"));
  }

  bool isPlugged(const std::string& path) const {
    return std::find(plugged_.begin(), plugged_.end(), path) != plugged_.end();
  }

  void check() {
    const std::vector<HidController::ListedDevice> listed = form_->HidCtl->Listed();
    for (const auto& device : listed) {
      if (device.ioOpen && !(device.present && device.held)) {
        breakRule(QStringLiteral("open io for a device not held or gone: %1").arg(QString::fromStdString(device.path)));
      }
    }
    for (const std::vector<std::string>* paths : {&plugged_, &pulled_}) {
      for (const std::string& path : *paths) {
        if (sim_->IsOpenFromEarlierAppearance(path)) {
          breakRule(QStringLiteral("%1 is open from before it was pulled").arg(QString::fromStdString(path)));
        }
        if (!sim_->IsOpen(path)) continue;
        const bool heldAndPresent = isPlugged(path) && std::any_of(listed.begin(), listed.end(), [&](const auto& d) {
          return d.path == path && d.present && d.held && d.ioOpen;
        });
        if (!heldAndPresent) {
          breakRule(QStringLiteral("%1 is open but not held and present").arg(QString::fromStdString(path)));
        }
      }
    }
    const int count = form_->HidCtl->Count();
    if (count > static_cast<int>(plugged_.size()) + 1) {
      breakRule(QStringLiteral("%1 devices listed, %2 present").arg(count).arg(plugged_.size()));
    }
    if (const HidDevice* current = form_->CurDevice) {
      const auto it = std::find_if(listed.begin(), listed.end(), [&](const auto& d) { return d.device == current; });
      if (it == listed.end() || !it->present || !isPlugged(it->path) ||
          !IsStick(current->ClassGuidText(), current->Attributes(), kStickVendorId, kStickProductCode)) {
        breakRule(QStringLiteral("the window's stick is not a present stick"));
      }
    }
    // Serials of devices no longer listed cannot be reported again.
    std::erase_if(reported_, [&listed](std::uint64_t serial) {
      return std::none_of(listed.begin(), listed.end(), [serial](const auto& d) { return d.serial == serial; });
    });
  }

  void breakRule(const QString& what) {
    if (!broken_.isEmpty()) return;
    QStringList list;
    for (const auto& d : form_->HidCtl->Listed()) {
      list << QStringLiteral("%1#%2%3%4%5").arg(QString::fromStdString(d.path)).arg(d.serial)
                  .arg(d.present ? "" : " gone").arg(d.held ? " held" : "").arg(d.ioOpen ? " open" : "");
    }
    broken_ = QStringLiteral("seed %1, step %2: %3; listed: %4; plugged: %5")
                  .arg(seed_).arg(step_).arg(what, list.join(QStringLiteral(", ")),
                       QString::fromStdString(std::accumulate(plugged_.begin(), plugged_.end(), std::string(),
                                                              [](std::string a, const std::string& b) { return a + b + " "; })));
  }

  const quint64 seed_;
  std::mt19937_64 random_;
  SimBackend* sim_ = nullptr;  // owned by the window's controller
  std::unique_ptr<TMainForm> form_;
  std::vector<std::string> plugged_;
  std::vector<std::string> pulled_;
  std::set<std::uint64_t> reported_;
  std::map<const char*, int> counts_;
  int made_ = 0;
  int step_ = 0;
  bool meddling_ = false;
  bool tearingDown_ = false;
  bool quiet_ = false;
  QString broken_;
};

}  // namespace

class HotplugStormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Failing scans are part of the storm; their warnings would only flood the output.
    QLoggingCategory::setFilterRules(QStringLiteral("vorlane.hid.warning=false"));
  }

  void storm() {
    const quint64 seed = SeedFromEnvironment();
    const int steps = StepsFromEnvironment();
    QString broken;
    QString figures;
    {
      Storm storm(seed);
      broken = storm.run(steps);
      figures = storm.figures();
    }
    qInfo("storm: seed %llu, %d steps, invariant breaks %d; %s", seed, steps, broken.isEmpty() ? 0 : 1,
          qPrintable(figures));
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
  }
};

QTEST_MAIN(HotplugStormTest)
#include "tst_hotplug_storm.moc"
