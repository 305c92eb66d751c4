// A simulated set of HID devices behind the HidBackend interface, for the tests and
// the demo. Devices are plugged and pulled by calls; a stick among them answers its
// feature reports through a StickModel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hid_backend.h"
#include "stick_model.h"

namespace vorlane {

struct SimDevice {
  std::string classGuidText = kHidClassGuidText;
  HidAttributes attributes;
  std::uint16_t featureReportByteLength = 0;
  std::u16string productString;
  // The stick behind the feature reports; without one every transfer fails.
  std::shared_ptr<StickModel> stick;
  // False: listed, but every open fails.
  bool openable = true;
  // False: opens only without access rights; caps and product string still work,
  // transfers fail. An open io keeps the rights it was opened with.
  bool readWrite = true;
  bool failGets = false;
  bool failSets = false;
  // When set, a get receives at most this many bytes (the report id counted), as a
  // stick that answers short.
  std::optional<std::size_t> answerBytes;
  // Called as a get begins, before anything is checked: a test pulls the device here
  // to have it vanish between a request and its answer.
  std::function<void()> beforeGet;
};

// One device ever plugged; defined with the backend.
struct SimEntry;

// When a plug or pull is announced to the watcher: at once, as the system does, or
// only by a later Notify().
enum class Announce { Now, Later };

class SimBackend : public HidBackend {
 public:
  SimBackend();
  ~SimBackend() override;

  // Appends a device under a path never used before and returns the path.
  std::string Plug(SimDevice device, Announce announce = Announce::Now);
  // Removes a plugged device; its open io then fails every operation, also after the
  // device is plugged again.
  void Pull(const std::string& path, Announce announce = Announce::Now);
  // Plugs a pulled device again under its old path, at the end of the scan order. It is
  // listed as a new appearance, as a backend does whose paths come back.
  void Replug(const std::string& path, Announce announce = Announce::Now);
  // The system announces a plugged device again, as after a change of its access rights.
  void Reannounce(const std::string& path, Announce announce = Announce::Now);
  // While set, every scan fails.
  void FailScans(bool fail) { failScans_ = fail; }
  // Calls the watch callback, if any, synchronously.
  void Notify();

  // The simulated device behind a path ever plugged; may be changed at any time.
  SimDevice& Device(const std::string& path);
  // Calls of open() for the path, failed ones included.
  int OpenCount(const std::string& path) const;
  // True while an io opened for the path is alive.
  bool IsOpen(const std::string& path) const;
  // True while an io opened before the device was last plugged again is alive.
  bool IsOpenFromEarlierAppearance(const std::string& path) const;
  // Paths open() was ever called for, in scan order.
  std::vector<std::string> OpenedPaths() const;
  int ScanCount() const { return scanCount_; }
  bool Watched() const { return static_cast<bool>(changed_); }

  std::optional<std::vector<HidDeviceInfo>> scan() override;
  std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) override;
  void watch(std::function<void()> changed) override;

 private:
  // The entry of a path ever plugged; throws std::out_of_range for any other.
  SimEntry& At(const std::string& path) const;
  void Announced(Announce announce);

  // Every device ever plugged, the plugged ones in scan order. An open io shares
  // its entry, so it may outlive the backend.
  std::vector<std::shared_ptr<SimEntry>> entries_;
  std::function<void()> changed_;
  int nextId_ = 1;
  int scanCount_ = 0;
  bool failScans_ = false;
};

}  // namespace vorlane
