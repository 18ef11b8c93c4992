// Running out of memory ends the process with a message, wherever it happens.
#include <gtest/gtest.h>

#include <new>

#include "support/memory.h"

using namespace sstrxv;

TEST(Memory, FailedAllocationEndsTheProcessWithCode99AndAMessage) {
  const auto failAllocation = [] {
    endProcessWhenMemoryRunsOut();
    const std::new_handler handler = std::get_new_handler();
    if (handler != nullptr) handler();  // what operator new calls when it finds no memory
    std::exit(0);
  };
  EXPECT_EXIT(failAllocation(), ::testing::ExitedWithCode(99), "^Fehler Speicherallokierung! Programmende.\n$");
}
