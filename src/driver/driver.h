// Command line and run control: start-up, dispatch to one writer, the
// attempts with their pauses and reconnections, and the exit code.
#pragma once

#include <string>

#include "db/session.h"
#include "export/context.h"
#include "export/frame.h"
#include "export/selective.h"
#include "support/env.h"
#include "support/log.h"
#include "support/text.h"

namespace sstrxv {

inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_USAGE = 90;
inline constexpr int EXIT_FAILED = 99;
// A statement reached its length limit: the run ends at once, without a
// final message.
inline constexpr int EXIT_STATEMENT_TOO_LONG = 1;

// The one translation of a writer's result into the exit code: 0 for kOk,
// EXIT_STATEMENT_TOO_LONG for kStatementTooLong, EXIT_FAILED for a file or
// database error.
[[nodiscard]] int exitCode(WriterResult result) noexcept;

inline constexpr int kMaxAttempts = 5;
inline constexpr unsigned long kAttemptPauseMs = 10000;

// The state of one run, created by runProgram and passed down: the
// environment (pause, clock, log sink with the log's settings), the file
// type, the session and what the writers read.
struct RunState {
  explicit RunState(Env& environment) : env(environment) {}

  Env& env;                  // its log: DebugFlag, logPath, oldLogPath
  BoundedText FileType{14};  // first 14 characters of argument 2, upper-cased
  DbSession session{env};
  ExportContext exportContext{session};  // interfaceFilePath, currentSchema, productVersion
  SelectiveMarks selectiveMarks;         // kept across the attempts of a selective run
};

// The banner and the usage text, as printed for too few arguments; the
// file types are listed from the file-type table.
[[nodiscard]] std::string usageText();

// Runs the writer up to five times; returns the exit code. Logs the final
// message and disconnects.
[[nodiscard]] int runAttempts(RunState& run, Writer writer) noexcept;
// The same with selective creation for the selection key in FileType.
[[nodiscard]] int runSelectiveAttempts(RunState& run, SelectiveSource& source) noexcept;

// The whole program in the real environment; returns the exit code. main
// has made allocation failures end the process (support/memory.h) before
// it runs.
[[nodiscard]] int runProgram(int argc, const char* const* argv) noexcept;
// The same in another environment, with other waits for the server
// (tests). The debug switch of the command line is set in env.log.
[[nodiscard]] int runProgram(int argc, const char* const* argv, Env& env,
                             const ConnectionOptions& options = ConnectionOptions{}) noexcept;

}  // namespace sstrxv
