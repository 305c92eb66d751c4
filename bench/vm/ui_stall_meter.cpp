#include "ui_stall_meter.h"

#include <QMetaObject>

#include <algorithm>

namespace {

double Ms(UiStallMeter::Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

UiStallMeter::UiStallMeter() : thread_([this] { run(); }) {}

UiStallMeter::~UiStallMeter() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  handled_.notify_all();
  thread_.join();
}

void UiStallMeter::run() {
  while (!stop_) {
    const Clock::time_point posted = Clock::now();
    {
      std::lock_guard lock(mutex_);
      waiting_ = true;
    }
    QMetaObject::invokeMethod(&receiver_, [this, posted] {
      const Clock::time_point handled = Clock::now();
      std::lock_guard lock(mutex_);
      pings_.push_back({posted, handled});
      waiting_ = false;
      handled_.notify_all();
    }, Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    handled_.wait(lock, [this] { return !waiting_ || stop_; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void UiStallMeter::pause(Clock::time_point from, Clock::time_point to) {
  std::lock_guard lock(mutex_);
  pauses_.push_back({from, to});
}

double UiStallMeter::pausedWithin(Clock::time_point from, Clock::time_point to) const {
  double paused = 0;
  for (const Pause& p : pauses_) {
    const Clock::time_point start = std::max(p.from, from);
    const Clock::time_point end = std::min(p.to, to);
    if (end > start) paused += Ms(end - start);
  }
  return paused;
}

UiStallMeter::Stall UiStallMeter::longest(Clock::time_point from, Clock::time_point to) const {
  std::lock_guard lock(mutex_);
  Stall stall;
  for (const Ping& p : pings_) {
    if (p.posted < from || p.posted > to) continue;
    const double waited = Ms(p.handled - p.posted);
    stall.totalMs = std::max(stall.totalMs, waited);
    stall.outsidePausesMs = std::max(stall.outsidePausesMs, waited - pausedWithin(p.posted, p.handled));
  }
  return stall;
}

UiStallMeter::Clock::time_point UiStallMeter::firstFreeAfter(Clock::time_point after) const {
  std::lock_guard lock(mutex_);
  for (const Ping& p : pings_) {
    if (p.handled >= after) return p.handled;
  }
  return Clock::time_point::max();
}

std::vector<std::pair<UiStallMeter::Clock::time_point, UiStallMeter::Clock::time_point>>
UiStallMeter::pausesFrom(Clock::time_point after) const {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<Clock::time_point, Clock::time_point>> found;
  for (const Pause& p : pauses_) {
    if (p.from >= after) found.emplace_back(p.from, p.to);
  }
  return found;
}
