#include "support/memory.h"

#include <unistd.h>

#include <cstdlib>
#include <new>

namespace sstrxv {
namespace {

// Runs in place of the failed allocation: it must not allocate itself.
[[noreturn]] void endForWantOfMemory() noexcept {
  constexpr char kMessage[] = "Fehler Speicherallokierung! Programmende.\n";
  const ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  static_cast<void>(written);
  std::_Exit(kNoMemoryExitCode);
}

}  // namespace

void endProcessWhenMemoryRunsOut() noexcept { std::set_new_handler(endForWantOfMemory); }

}  // namespace sstrxv
