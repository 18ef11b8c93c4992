#include "support/platform.h"

#include <chrono>
#include <csignal>
#include <ctime>
#include <thread>

namespace sstrxv::platform {
namespace {

void realPause(unsigned long milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

PauseFunction currentPause = realPause;

}  // namespace

std::string nativePath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

void pauseMilliseconds(unsigned long milliseconds) noexcept { currentPause(milliseconds); }

PauseFunction replacePause(PauseFunction pause) noexcept {
  const PauseFunction previous = currentPause;
  currentPause = pause ? pause : realPause;
  return previous;
}

void ignoreFileSizeSignal() noexcept { std::signal(SIGXFSZ, SIG_IGN); }

std::string localTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string stamp(31, '\0');
  stamp.resize(std::strftime(stamp.data(), stamp.size() + 1, "%Y-%m-%d %H:%M:%S", &local));
  return stamp;
}

}  // namespace sstrxv::platform
