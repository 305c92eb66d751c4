// virtual-stick: a flight stick made through /dev/uhid, for trying and testing
// Vorlane without the hardware. See HelpText() for the command line.
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <string>
#include <system_error>

#include "options.h"
#include "report_log.h"
#include "safe_files.h"
#include "stick_descriptor.h"
#include "stick_server.h"
#include "uhid_device.h"

namespace virtualstick {
namespace {

using Clock = StickServer::Clock;

class SignalFd {
 public:
  // Blocks the signals for normal delivery and makes them readable on fd().
  explicit SignalFd(std::initializer_list<int> signals) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : signals) {
      sigaddset(&set, s);
    }
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0 || (fd_ = signalfd(-1, &set, SFD_CLOEXEC)) < 0) {
      throw std::system_error(errno, std::generic_category(), "cannot watch for signals");
    }
  }
  ~SignalFd() { close(fd_); }
  SignalFd(const SignalFd&) = delete;
  SignalFd& operator=(const SignalFd&) = delete;

  int fd() const { return fd_; }
  // The number of the signal that made fd() readable.
  int Take() {
    signalfd_siginfo info{};
    if (read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
      throw std::system_error(errno, std::generic_category(), "cannot read a signal");
    }
    return static_cast<int>(info.ssi_signo);
  }

 private:
  int fd_ = -1;
};

int PollTimeout(const StickServer& server) {
  auto due = server.NextDue();
  if (!due) {
    return -1;
  }
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
}

void Serve(const Options& options) {
  SignalFd signals{SIGTERM, SIGINT};
  ReportLog log(options.logPath);
  UhidDevice device({options.name, BUS_USB, options.vendorId, options.productId},
                    StickReportDescriptor(options.featureLength));
  StickServer server(options, log, [&device](const uhid_event& reply) { device.Write(reply); });
  bool ready = false;

  for (;;) {
    pollfd fds[] = {{device.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
    if (poll(fds, 2, PollTimeout(server)) < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    // Every event the kernel queued before a signal is handled first, so that the log
    // is complete when the stick goes.
    if (fds[0].revents & POLLIN) {
      uhid_event event;
      device.Read(event);
      server.Handle(event, Clock::now());
      if (event.type == UHID_START && !ready && !options.readyFile.empty()) {
        ReplaceOwnFile(options.readyFile, std::to_string(getpid()) + "\n", "ready file");
        ready = true;
      }
    } else if (fds[0].revents & (POLLERR | POLLHUP)) {
      throw std::system_error(std::make_error_code(std::errc::io_error), "/dev/uhid hung up");
    } else if (fds[1].revents & POLLIN) {
      log.Event(std::string("unplugged on signal ") + sigabbrev_np(signals.Take()));
      return;
    }
    server.SendDue(Clock::now());
  }
}

}  // namespace
}  // namespace virtualstick

int main(int argc, char** argv) {
  using virtualstick::ParsedCommandLine;
  const ParsedCommandLine command = virtualstick::ParseCommandLine(argc, argv);
  switch (command.action) {
    case ParsedCommandLine::Action::Help:
      std::fputs(virtualstick::HelpText().c_str(), stdout);
      return 0;
    case ParsedCommandLine::Action::Error:
      std::fprintf(stderr, "virtual-stick: %s\nTry 'virtual-stick --help'.\n", command.error.c_str());
      return 2;
    case ParsedCommandLine::Action::Run:
      break;
  }
  try {
    virtualstick::Serve(command.options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "virtual-stick: %s\n", e.what());
    return 1;
  }
  return 0;
}
