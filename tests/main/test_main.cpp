// The main of the test programs: the programs' memory policy first, then
// every test.
#include <gtest/gtest.h>

#include "support/memory.h"

int main(int argc, char** argv) {
  sstrxv::endProcessWhenMemoryRunsOut();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
