// Command line and run control: start-up, dispatch to one writer, the
// attempts with their pauses and reconnections, and the exit code.
#pragma once

#include <array>
#include <string_view>

#include "export/frame.h"

namespace sstrxv {

inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_USAGE = 90;
inline constexpr int EXIT_FAILED = 99;

inline constexpr int kMaxAttempts = 5;
inline constexpr unsigned long kAttemptPauseMs = 10000;

struct DispatchEntry {
  std::string_view code;
  Writer writer;  // nullptr: not available in this build
};

// Compared in this order with the first three characters of the file type.
extern const std::array<DispatchEntry, 12> kDispatchTable;

// The writer for a file type, or nullptr when no code matches.
Writer findWriter(std::string_view fileType) noexcept;

// The banner and the usage text, as printed for too few arguments.
std::string_view usageText() noexcept;

// Runs the writer up to five times; returns the exit code. Logs the final
// message and disconnects.
int runAttempts(Writer writer) noexcept;

// The whole program; returns the exit code.
int runProgram(int argc, const char* const* argv) noexcept;

}  // namespace sstrxv
