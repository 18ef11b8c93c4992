#include "support/env.h"

#include <chrono>
#include <thread>

#include "support/platform.h"

namespace sstrxv {

void Env::pauseMilliseconds(unsigned long milliseconds) noexcept {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string Env::localTimestamp() noexcept { return platform::localTimestamp(); }

std::uint64_t Env::steadyMilliseconds() noexcept {
  const auto elapsed = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Env::writeLog(std::string_view message) noexcept { writeRunLog(*this, message); }

}  // namespace sstrxv
