#include "support/env.h"

#include <chrono>
#include <thread>

#include "support/platform.h"

namespace sstrxv {

void Env::pauseMilliseconds(unsigned long milliseconds) noexcept {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string Env::localTimestamp() { return platform::localTimestamp(); }

void Env::writeLog(std::string_view message) noexcept { writeRunLog(*this, message); }

}  // namespace sstrxv
