#include "stick_launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

extern char** environ;

namespace {

constexpr auto kWait = std::chrono::seconds(10);

}  // namespace

StickLauncher::StickLauncher(std::string program, std::string name, std::string dir)
    : program_(std::move(program)), name_(std::move(name)), dir_(std::move(dir)) {}

StickLauncher::~StickLauncher() {
  if (thread_.joinable()) thread_.join();
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

void StickLauncher::plug() { thread_ = std::thread([this] { start(); }); }

void StickLauncher::start() {
  const std::string log = dir_ + "/log";
  const std::string ready = dir_ + "/ready";
  std::vector<std::string> args = {program_, "--name", name_, "--log", log, "--ready-file", ready};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto fail = [this](const std::string& why) {
    const std::lock_guard lock(mutex_);
    error_ = why;
    failed_ = true;
  };
  if (::posix_spawn(&pid_, program_.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
    return fail("cannot start " + program_);
  }
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  std::string node;
  while ((node = findNode()).empty() || !std::filesystem::exists(node)) {
    if (std::chrono::steady_clock::now() > deadline) return fail("no hidraw node appeared for " + name_);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  {
    const std::lock_guard lock(mutex_);
    node_ = node;
  }
  plugged_ = true;
}

std::string StickLauncher::findNode() const {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/hidraw", error)) {
    std::ifstream uevent(entry.path() / "device/uevent");
    for (std::string line; std::getline(uevent, line);) {
      if (line == "HID_NAME=" + name_) return "/dev/" + entry.path().filename().string();
    }
  }
  return {};
}

std::string StickLauncher::node() const {
  const std::lock_guard lock(mutex_);
  return node_;
}

std::string StickLauncher::error() const {
  const std::lock_guard lock(mutex_);
  return error_;
}

int StickLauncher::reportsWritten() const {
  std::ifstream log(dir_ + "/log");
  int written = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("W  ", 0) == 0) ++written;
  }
  return written;
}
