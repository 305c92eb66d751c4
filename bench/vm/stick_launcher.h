// A virtual stick (tools/virtual-stick) started and waited for on a thread of its
// own, so that nothing of it runs on the UI thread whose stalls are being measured.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class StickLauncher {
 public:
  // program: the virtual-stick binary; name: the product name it announces; dir: a
  // directory for its log and ready file.
  StickLauncher(std::string program, std::string name, std::string dir);
  // Ends the process (SIGTERM) and waits for it and the thread.
  ~StickLauncher();
  StickLauncher(const StickLauncher&) = delete;
  StickLauncher& operator=(const StickLauncher&) = delete;

  // Starts the process; the thread then waits for the kernel to make its hidraw node.
  void plug();
  // Once the node is there: true, and node() names it. failed() when it did not come.
  bool plugged() const { return plugged_; }
  bool failed() const { return failed_; }
  std::string node() const;
  std::string error() const;
  // Feature reports the stick received, as its log tells.
  int reportsWritten() const;

 private:
  void start();
  std::string findNode() const;

  std::string program_;
  std::string name_;
  std::string dir_;
  pid_t pid_ = -1;
  std::thread thread_;
  std::atomic<bool> plugged_{false};
  std::atomic<bool> failed_{false};
  mutable std::mutex mutex_;
  std::string node_;
  std::string error_;
};
