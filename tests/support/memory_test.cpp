// Running out of memory ends the process with a message, wherever it happens.
#include <gtest/gtest.h>

#include <new>

#include "support/memory.h"

using namespace sstrxv;

namespace {

constexpr MemoryExhaustion kToolExhaustion{"tool: out of memory\n", 2};

}  // namespace

// What operator new calls when it finds no memory: the policy of the test
// program's main, or one a program installs with its own message and code.
TEST(Memory, FailedAllocationEndsTheProcessWithTheProgramsCodeAndMessage) {
  struct Case {
    const char* name;
    void (*install)() noexcept;  // nullptr: as the test program's main left it
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {"the test program's main", nullptr, kNoMemoryExitCode, "^Fehler Speicherallokierung! Programmende.\n$"},
      {"SSTRXV's", endProcessWhenMemoryRunsOut, kNoMemoryExitCode, "^Fehler Speicherallokierung! Programmende.\n$"},
      {"a tool's", endProcessWhenMemoryRunsOut<kToolExhaustion>, 2, "^tool: out of memory\n$"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto failAllocation = [&c] {
      if (c.install != nullptr) c.install();
      const std::new_handler handler = std::get_new_handler();
      if (handler != nullptr) handler();
      std::exit(0);
    };
    EXPECT_EXIT(failAllocation(), ::testing::ExitedWithCode(c.exitCode), c.message);
  }
}
