#include "startup_ahead.h"

#if defined(VORLANE_HAVE_FONTCONFIG)
#include <fontconfig/fontconfig.h>
#endif

#include "window_icon.h"

StartupAhead::StartupAhead() {
  ExpectWindowIconImagesAhead();
  thread_ = std::thread([this] {
#if defined(VORLANE_HAVE_FONTCONFIG)
    FcInit();
#endif
    {
      const std::lock_guard lock(mutex_);
      fontsReady_ = true;
    }
    fontsLoaded_.notify_all();
    ProvideWindowIconImages(ReadWindowIconImages());
  });
}

StartupAhead::~StartupAhead() { thread_.join(); }

void StartupAhead::waitForFonts() {
  std::unique_lock lock(mutex_);
  fontsLoaded_.wait(lock, [this] { return fontsReady_; });
}
