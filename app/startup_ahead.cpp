#include "startup_ahead.h"

#include <utility>
#include <vector>

#if defined(VORLANE_HAVE_FONTCONFIG)
#include <fontconfig/fontconfig.h>
#endif

#include "window_icon.h"

StartupAhead::StartupAhead() : fontsReady_(fontsLoaded_.get_future()) {
  std::promise<std::vector<QImage>> icon;
  SetWindowIconImagesAhead(icon.get_future().share());
  thread_ = std::thread([this, icon = std::move(icon)]() mutable {
#if defined(VORLANE_HAVE_FONTCONFIG)
    FcInit();
#endif
    fontsLoaded_.set_value();
    icon.set_value(ReadWindowIconImages());
  });
}

StartupAhead::~StartupAhead() { thread_.join(); }

void StartupAhead::waitForFonts() { fontsReady_.wait(); }
