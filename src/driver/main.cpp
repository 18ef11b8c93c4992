#include "driver/driver.h"

int main(int argc, char** argv) { return sstrxv::runProgram(argc, argv); }
