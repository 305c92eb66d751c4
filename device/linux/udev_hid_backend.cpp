// Placeholder until the libudev backend lands.
#include "hid_backend.h"

namespace vorlane {
std::unique_ptr<HidBackend> CreatePlatformHidBackend() { return nullptr; }
}  // namespace vorlane
