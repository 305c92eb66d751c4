// The stick's side of the uhid conversation: answers the kernel's feature report
// requests with a StickModel and logs every report. Replies go out through a send
// function, so the reaction can be exercised without the kernel.
#pragma once

#include <linux/uhid.h>

#include <chrono>
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

  StickServer(const Options& options, ReportLog& log, Send send);

  // Reacts to one event from the kernel that arrived at now.
  void Handle(const uhid_event& event, Clock::time_point now);
  // When the delayed answer to a read is due; nullopt when no answer waits.
  std::optional<Clock::time_point> NextDue() const;
  // Sends the waiting answer if it is due at now.
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
  vorlane::StickModel model_;
  ReportLog& log_;
  Send send_;
  std::optional<PendingAnswer> pending_;
};

}  // namespace virtualstick
