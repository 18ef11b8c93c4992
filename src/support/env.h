// What a run takes from the machine it runs on: the pause, the clock, the
// place its messages go and the paths of its input files. runProgram is
// given one (this real one unless a test passes its own, derived from it,
// to count the pauses, fix the time, watch the messages or place the files);
// the run's session carries it, and everything below the driver reaches it
// through the session or the export context.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/input_paths.h"
#include "support/log.h"

namespace sstrxv {

class Env {
 public:
  Env() = default;
  virtual ~Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  // Pauses for whole milliseconds.
  virtual void pauseMilliseconds(unsigned long milliseconds) noexcept;
  // The current local date and time as "%Y-%m-%d %H:%M:%S".
  virtual std::string localTimestamp() noexcept;
  // Milliseconds of a steady clock (never set back), for the deadlines of
  // the waits for the database server.
  virtual std::uint64_t steadyMilliseconds() noexcept;
  // Takes one message of the run: the run log of the settings below, or
  // the console with /D (writeRunLog). Never fails towards its caller.
  virtual void writeLog(std::string_view message) noexcept;

  // Where writeLog puts the messages; the driver sets the debug switch at
  // start-up.
  LogSettings log;
  // The input files the run reads.
  InputPaths inputs;
};

}  // namespace sstrxv
