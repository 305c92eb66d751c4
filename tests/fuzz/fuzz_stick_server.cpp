// libFuzzer entry point for StickServer: the input chooses the stick's options and a
// stream of uhid events with the time that passes between them. Request ids come from
// a counter, as the kernel hands them out. Besides the sanitizers, it checks every
// reply the server sends:
//  - it is a GET_REPORT_REPLY or SET_REPORT_REPLY that carries the id of a request of
//    that kind which was received and not yet answered (so at most one per request);
//  - its size stays within UHID_DATA_MAX, within the report and within --short-answer;
//  - an answer to a read of the configuration report is not sent before its delay;
//  - with --refuse-sets every write is answered with an error and nothing is stored;
// and at the end, once all delays have passed, that every request got its reply.
#include <fuzzer/FuzzedDataProvider.h>
#include <linux/uhid.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "config_report.h"
#include "fuzz_check.h"
#include "options.h"
#include "report_log.h"
#include "stick_server.h"

namespace {

using namespace std::chrono_literals;
using virtualstick::StickServer;
using Clock = StickServer::Clock;

struct Request {
  std::uint32_t type;   // UHID_GET_REPORT or UHID_SET_REPORT
  Clock::time_point earliestAnswer;
};

virtualstick::Options FuzzedOptions(FuzzedDataProvider& in) {
  virtualstick::Options o = virtualstick::DefaultOptions();
  o.featureLength = in.ConsumeIntegralInRange<std::size_t>(1, virtualstick::kLargestFeatureLength);
  o.shortAnswer = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::size_t>(1, o.featureLength + 1) : 0;
  o.readDelay = std::chrono::milliseconds(in.ConsumeIntegralInRange<int>(0, 7000));
  o.failReads = in.ConsumeBool();
  o.refuseSets = in.ConsumeBool();
  o.calibrated = in.ConsumeBool();
  return o;
}

std::uint8_t ReportNumber(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? vorlane::REPORT_ID_CONFIG : in.ConsumeIntegral<std::uint8_t>();
}

std::uint8_t ReportType(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? std::uint8_t{UHID_FEATURE_REPORT} : in.ConsumeIntegral<std::uint8_t>();
}

// A write: raw bytes, or a read request or parameter write as the host composes them,
// with the size they have or, now and then, any size at all.
void FillSetReport(FuzzedDataProvider& in, uhid_set_report_req& set) {
  set.rnum = ReportNumber(in);
  set.rtype = ReportType(in);
  std::size_t length = 0;
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: {
      const std::vector<std::uint8_t> bytes =
          in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, UHID_DATA_MAX));
      std::copy(bytes.begin(), bytes.end(), set.data);
      length = bytes.size();
      break;
    }
    case 1:
      length = in.ConsumeIntegralInRange<std::size_t>(0, vorlane::kMaxFeatureLength + 1);
      vorlane::ComposeReadRequest(std::span(set.data, length));
      break;
    default: {
      vorlane::ParamBlock block{};
      for (std::uint8_t& b : block) b = in.ConsumeIntegral<std::uint8_t>();
      length = in.ConsumeIntegralInRange<std::size_t>(0, vorlane::kMaxFeatureLength + 1);
      vorlane::ComposeWriteParams(std::span(set.data, length), block);
      break;
    }
  }
  set.size = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? in.ConsumeIntegral<std::uint16_t>()
                                                         : static_cast<std::uint16_t>(length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const virtualstick::Options options = FuzzedOptions(in);
  static virtualstick::ReportLog log("/dev/null");

  Clock::time_point now{};
  std::uint32_t lastId = 0;
  std::map<std::uint32_t, Request> unanswered;
  StickServer server(options, log, [&](const uhid_event& reply) {
    FUZZ_CHECK(reply.type == UHID_GET_REPORT_REPLY || reply.type == UHID_SET_REPORT_REPLY);
    const bool get = reply.type == UHID_GET_REPORT_REPLY;
    const auto request = unanswered.find(get ? reply.u.get_report_reply.id : reply.u.set_report_reply.id);
    FUZZ_CHECK(request != unanswered.end());
    FUZZ_CHECK(request->second.type == (get ? UHID_GET_REPORT : UHID_SET_REPORT));
    FUZZ_CHECK(now >= request->second.earliestAnswer);
    unanswered.erase(request);
    if (get) {
      const uhid_get_report_reply_req& answer = reply.u.get_report_reply;
      FUZZ_CHECK(answer.size <= UHID_DATA_MAX);
      FUZZ_CHECK(answer.size <= options.featureLength + 1);
      FUZZ_CHECK(options.shortAnswer == 0 || answer.size <= options.shortAnswer);
      FUZZ_CHECK((answer.err == 0) == (answer.size > 0));
      FUZZ_CHECK(answer.size == 0 || answer.data[0] == vorlane::REPORT_ID_CONFIG);
    } else {
      FUZZ_CHECK(!options.refuseSets || reply.u.set_report_reply.err != 0);
    }
  });

  while (in.remaining_bytes() > 0) {
    now += std::chrono::milliseconds(in.ConsumeIntegralInRange<int>(0, 6000));
    uhid_event event{};
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
      case 0: {
        event.type = UHID_GET_REPORT;
        uhid_get_report_req& get = event.u.get_report;
        get.id = ++lastId;
        get.rnum = ReportNumber(in);
        get.rtype = ReportType(in);
        const bool delayed = get.rnum == vorlane::REPORT_ID_CONFIG && get.rtype == UHID_FEATURE_REPORT;
        unanswered[get.id] = {UHID_GET_REPORT, delayed ? now + options.readDelay : now};
        break;
      }
      case 1:
        event.type = UHID_SET_REPORT;
        event.u.set_report.id = ++lastId;
        FillSetReport(in, event.u.set_report);
        unanswered[event.u.set_report.id] = {UHID_SET_REPORT, now};
        break;
      case 2: {
        event.type = UHID_OUTPUT;
        const std::vector<std::uint8_t> bytes =
            in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 64));
        std::copy(bytes.begin(), bytes.end(), event.u.output.data);
        event.u.output.size = in.ConsumeBool() ? static_cast<std::uint16_t>(bytes.size())
                                               : in.ConsumeIntegral<std::uint16_t>();
        event.u.output.rtype = ReportType(in);
        break;
      }
      case 3:
        // Start, stop, open, close and whatever else the kernel might send.
        event.type = in.ConsumeIntegralInRange<std::uint32_t>(0, UHID_SET_REPORT_REPLY + 1);
        if (event.type == UHID_GET_REPORT || event.type == UHID_SET_REPORT) event.type = UHID_OPEN;
        break;
      default:
        // Only time passes.
        server.SendDue(now);
        continue;
    }
    server.Handle(event, now);
    server.SendDue(now);
  }

  now += options.readDelay;
  server.SendDue(now);
  FUZZ_CHECK(unanswered.empty());
  FUZZ_CHECK(!server.NextDue());
  if (options.refuseSets) {
    FUZZ_CHECK(server.Model().Received().empty());
    FUZZ_CHECK(server.Model().Params() == options.params);
  }
  return 0;
}
