// What happens when memory runs out: the process ends at once. Every
// program installs this policy first thing in main.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <new>
#include <string_view>

namespace sstrxv {

// The exit code of a process that ran out of memory: the file could not be
// written.
inline constexpr int kNoMemoryExitCode = 99;

// How a program ends when memory runs out: the message it writes to
// standard error and its exit code, among those its usage text documents.
struct MemoryExhaustion {
  std::string_view message;  // with its line end
  int exitCode = kNoMemoryExitCode;
};

// SSTRXV's (and that of every program that documents no exit code for it).
inline constexpr MemoryExhaustion kProgramMemoryExhaustion{"Fehler Speicherallokierung! Programmende.\n",
                                                           kNoMemoryExitCode};

namespace detail {
// Runs in place of the failed allocation: it must not allocate itself.
template <const MemoryExhaustion& End>
[[noreturn]] void endForWantOfMemory() noexcept {
  const ssize_t written = ::write(STDERR_FILENO, End.message.data(), End.message.size());
  static_cast<void>(written);
  std::_Exit(End.exitCode);
}
}  // namespace detail

// From now on an allocation that fails ends the process with End's message
// on standard error and its exit code, instead of throwing: no allocation
// in this process throws, so functions that allocate may be noexcept.
// Nothing is logged or written after it; an interface file being written
// has no name yet and goes with the process.
template <const MemoryExhaustion& End>
void endProcessWhenMemoryRunsOut() noexcept {
  std::set_new_handler(detail::endForWantOfMemory<End>);
}

// The same with SSTRXV's message and kNoMemoryExitCode.
void endProcessWhenMemoryRunsOut() noexcept;

}  // namespace sstrxv
