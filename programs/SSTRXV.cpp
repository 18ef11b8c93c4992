#include "driver/driver.h"
#include "support/descriptors.h"
#include "support/memory.h"

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  sstrxv::endProcessWhenMemoryRunsOut();
  return sstrxv::runProgram(argc, argv);
}
