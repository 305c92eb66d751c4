#include "stick_server.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace virtualstick {
namespace {

std::string ReportName(std::uint8_t number, std::uint8_t type) {
  const char* kind = type == UHID_FEATURE_REPORT ? "feature"
                     : type == UHID_OUTPUT_REPORT ? "output"
                                                  : "input";
  char id[8];
  std::snprintf(id, sizeof id, "0x%02X", number);
  return std::string(kind) + " report " + id;
}

// The kernel never sends more than UHID_DATA_MAX bytes; a larger size is not believed.
bool SizeFits(std::uint16_t size) { return size <= UHID_DATA_MAX; }

}  // namespace

StickServer::StickServer(const Options& options, ReportLog& log, Send send)
    : featureLength_(options.featureLength),
      readDelay_(options.readDelay),
      shortAnswer_(options.shortAnswer),
      refuseSets_(options.refuseSets),
      model_(options.params, options.calibrated),
      log_(log),
      send_(std::move(send)) {
  if (featureLength_ == 0 || featureLength_ > kLargestFeatureLength) {
    throw std::invalid_argument("feature length must lie in 1.." + std::to_string(kLargestFeatureLength));
  }
  model_.SetFailReads(options.failReads);
}

void StickServer::Handle(const uhid_event& event, Clock::time_point now) {
  switch (event.type) {
    case UHID_START:
      log_.Event("start");
      break;
    case UHID_STOP:
      log_.Event("stop");
      break;
    case UHID_OPEN:
      log_.Event("open");
      break;
    case UHID_CLOSE:
      log_.Event("close");
      break;
    case UHID_OUTPUT: {
      if (!SizeFits(event.u.output.size)) {
        log_.Event("output report of " + std::to_string(event.u.output.size) + " bytes, ignored");
        break;
      }
      std::span<const std::uint8_t> data(event.u.output.data, event.u.output.size);
      log_.Event("output report, ignored: " + vorlane::TraceLine(data, vorlane::TraceDirection::Sent));
      break;
    }
    case UHID_GET_REPORT:
      OnGetReport(event.u.get_report, now);
      break;
    case UHID_SET_REPORT:
      OnSetReport(event.u.set_report);
      break;
    default:
      log_.Event("unknown event " + std::to_string(event.type) + ", ignored");
      break;
  }
}

void StickServer::OnGetReport(const uhid_get_report_req& request, Clock::time_point now) {
  uhid_event reply{};
  reply.type = UHID_GET_REPORT_REPLY;
  uhid_get_report_reply_req& answer = reply.u.get_report_reply;
  answer.id = request.id;
  if (request.rtype != UHID_FEATURE_REPORT || request.rnum != vorlane::REPORT_ID_CONFIG) {
    log_.Event("read of " + ReportName(request.rnum, request.rtype) + " refused");
    answer.err = EIO;
    send_(reply);
    return;
  }
  std::vector<std::uint8_t> report(featureLength_ + 1);
  report[0] = request.rnum;
  std::size_t size = model_.GetFeature(report);
  if (shortAnswer_ != 0) {
    size = std::min(size, shortAnswer_);
  }
  if (size == 0) {
    answer.err = EIO;
  } else {
    answer.size = static_cast<std::uint16_t>(size);
    std::copy_n(report.begin(), size, answer.data);
  }
  pending_.push_back(PendingAnswer{reply, now + readDelay_});
  SendDue(now);
}

void StickServer::OnSetReport(const uhid_set_report_req& request) {
  uhid_event reply{};
  reply.type = UHID_SET_REPORT_REPLY;
  reply.u.set_report_reply.id = request.id;
  reply.u.set_report_reply.err = EIO;
  if (!SizeFits(request.size)) {
    log_.Event("write of " + std::to_string(request.size) + " bytes refused");
    send_(reply);
    return;
  }
  std::span<const std::uint8_t> data(request.data, request.size);
  log_.Report(data, vorlane::TraceDirection::Sent);
  if (request.rtype != UHID_FEATURE_REPORT || request.rnum != vorlane::REPORT_ID_CONFIG) {
    log_.Event("write of " + ReportName(request.rnum, request.rtype) + " refused");
  } else if (refuseSets_) {
    log_.Event("write of " + ReportName(request.rnum, request.rtype) + " refused (--refuse-sets)");
  } else {
    model_.SetFeature(data);
    reply.u.set_report_reply.err = 0;
  }
  send_(reply);
}

std::optional<StickServer::Clock::time_point> StickServer::NextDue() const {
  if (pending_.empty()) {
    return std::nullopt;
  }
  return pending_.front().due;
}

void StickServer::SendDue(Clock::time_point now) {
  while (!pending_.empty() && pending_.front().due <= now) {
    // Taken off the queue first: the send function may throw.
    const uhid_event reply = pending_.front().reply;
    pending_.pop_front();
    SendAnswer(reply);
  }
}

void StickServer::SendAnswer(const uhid_event& reply) {
  const uhid_get_report_reply_req& answer = reply.u.get_report_reply;
  if (answer.err != 0) {
    log_.Event("read answered with an error");
  } else {
    log_.Report(std::span<const std::uint8_t>(answer.data, answer.size),
                vorlane::TraceDirection::Received);
  }
  send_(reply);
}

}  // namespace virtualstick
