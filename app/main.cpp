#include "hid_backend.h"
#include "startup.h"

int main(int argc, char** argv) {
  return RunApplication(argc, argv, [] { return vorlane::CreatePlatformHidBackend(); });
}
