// The process-wide run state: fixed at start-up by the driver, read by the
// log, the session and the writers.
#pragma once

#include <string>

#include "support/text.h"

namespace sstrxv {

struct RunState {
  int DebugFlag = 0;  // 1: messages go to the console instead of the log
  std::string logPath = "..\\..\\Melvarion_php\\log\\sstrxv.log";
  std::string oldLogPath = "..\\..\\Melvarion_php\\log\\sstrxv.old";
  std::string interfaceFilePath;            // first argument, as passed
  BoundedText FileType{14};                 // first 14 characters of argument 2, upper-cased
  BoundedText currentSchema{20};            // schema whose data is being exported
  double productVersion = 0.0;              // highest release in the product table
};

RunState& runState() noexcept;

}  // namespace sstrxv
