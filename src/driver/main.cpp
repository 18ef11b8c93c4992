#include "driver/driver.h"
#include "support/memory.h"

int main(int argc, char** argv) {
  sstrxv::endProcessWhenMemoryRunsOut();
  return sstrxv::runProgram(argc, argv);
}
