// What a run takes from the machine it runs on: the pause, the clock and
// the place its messages go. The driver creates one environment per run
// and everything below it reaches it through the run's objects (the
// session, the export context); a test passes its own instead, derived
// from this one, to count pauses, fix the time or watch the messages.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "support/log.h"

namespace sstrxv {

class Env {
 public:
  Env() = default;
  explicit Env(LogSettings settings) noexcept : log(std::move(settings)) {}
  virtual ~Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  // Pauses for whole milliseconds.
  virtual void pauseMilliseconds(unsigned long milliseconds) noexcept;
  // The current local date and time as "%Y-%m-%d %H:%M:%S".
  virtual std::string localTimestamp();
  // Takes one message of the run: the run log of the settings below, or
  // the console with /D (writeRunLog). Never fails towards its caller.
  virtual void writeLog(std::string_view message) noexcept;

  // Where writeLog puts the messages; the driver sets the debug switch at
  // start-up.
  LogSettings log;
};

}  // namespace sstrxv
