// Every fuzz target runs under the programs' memory policy.
#include <cstdint>

#include "support/memory.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  sstrxv::endProcessWhenMemoryRunsOut();
  return 0;
}
