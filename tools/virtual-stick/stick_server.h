// The stick's side of the uhid conversation: answers the kernel's feature report
// requests with a StickModel and logs every report. Replies go out through a send
// function, so the reaction can be exercised without the kernel.
//
// Every request gets exactly one reply, with its own id. Writes are answered at once;
// answers to reads wait for the read delay, in the order the reads came. The kernel
// asks again only after it gave up on the last read (after about 5 s), and drops an
// answer whose id it no longer waits for, so a late answer does no harm and the next
// request is served as usual.
#pragma once

#include <linux/uhid.h>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

#include "options.h"
#include "report_log.h"
#include "stick_model.h"

namespace virtualstick {

class StickServer {
 public:
  using Clock = std::chrono::steady_clock;
  using Send = std::function<void(const uhid_event&)>;

  // Throws std::invalid_argument for a feature length beyond kLargestFeatureLength.
  StickServer(const Options& options, ReportLog& log, Send send);

  // Reacts to one event from the kernel that arrived at now.
  void Handle(const uhid_event& event, Clock::time_point now);
  // When the next delayed answer to a read is due; nullopt when no answer waits.
  std::optional<Clock::time_point> NextDue() const;
  // Sends the waiting answers that are due at now, oldest first.
  void SendDue(Clock::time_point now);

  const vorlane::StickModel& Model() const { return model_; }

 private:
  struct PendingAnswer {
    uhid_event reply;
    Clock::time_point due;
  };

  void OnGetReport(const uhid_get_report_req& request, Clock::time_point now);
  void OnSetReport(const uhid_set_report_req& request);
  void SendAnswer(const uhid_event& reply);

  std::size_t featureLength_;
  std::chrono::milliseconds readDelay_;
  std::size_t shortAnswer_;
  bool refuseSets_;
  vorlane::StickModel model_;
  ReportLog& log_;
  Send send_;
  // Due times never decrease: every read waits the same delay.
  std::deque<PendingAnswer> pending_;
};

}  // namespace virtualstick
