#include "hid_backend.h"

namespace vorlane {

// A platform without a HID layer of ours: the controller never scans.
std::unique_ptr<HidBackend> CreatePlatformHidBackend() { return nullptr; }

}  // namespace vorlane
