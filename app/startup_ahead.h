// Start-up work that needs neither the application object nor the UI thread, done on
// a thread of its own while the UI thread makes the application object: the system's
// font configuration is loaded (Qt's font database would load it on its first font)
// and the window icon's images are decoded.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class StartupAhead {
 public:
  StartupAhead();
  // Waits for the thread.
  ~StartupAhead();
  StartupAhead(const StartupAhead&) = delete;
  StartupAhead& operator=(const StartupAhead&) = delete;

  // Returns once the font configuration is loaded. To be called before the first
  // font is used: two threads that load it at once would each do all the work.
  void waitForFonts();

 private:
  std::mutex mutex_;
  std::condition_variable fontsLoaded_;
  bool fontsReady_ = false;
  std::thread thread_;
};
