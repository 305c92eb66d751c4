// Measures how long the UI thread keeps its event loop waiting. A thread of its own
// posts one small call to the UI thread at a time and notes when it is handled; the
// time a call waits is a stall of the UI thread (to within the 1 ms between calls).
// Pauses that the UI thread reports through pause() are counted apart, so that a
// stall can be told with and without them.
#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class UiStallMeter {
 public:
  using Clock = std::chrono::steady_clock;

  struct Stall {
    double totalMs = 0;       // the longest wait of one call
    double outsidePausesMs = 0;  // the longest wait of one call less the pauses within it
  };

  // Starts the pinging thread; must be made on the UI thread.
  UiStallMeter();
  ~UiStallMeter();
  UiStallMeter(const UiStallMeter&) = delete;
  UiStallMeter& operator=(const UiStallMeter&) = delete;

  // To be called on the UI thread around every blocking pause.
  void pause(Clock::time_point from, Clock::time_point to);

  // The longest stalls among calls posted within [from, to].
  Stall longest(Clock::time_point from, Clock::time_point to) const;
  // The first moment at or after `after` at which the UI thread handled a call: when
  // it was free again after what it was doing then.
  Clock::time_point firstFreeAfter(Clock::time_point after) const;
  // The pauses that began at or after `after`, as [from, to] pairs, in order.
  std::vector<std::pair<Clock::time_point, Clock::time_point>> pausesFrom(Clock::time_point after) const;

 private:
  struct Ping {
    Clock::time_point posted;
    Clock::time_point handled;
  };
  struct Pause {
    Clock::time_point from;
    Clock::time_point to;
  };

  void run();
  double pausedWithin(Clock::time_point from, Clock::time_point to) const;

  QObject receiver_;  // lives on the UI thread
  mutable std::mutex mutex_;
  std::condition_variable handled_;
  std::vector<Ping> pings_;
  std::vector<Pause> pauses_;
  bool waiting_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
