#include "support/log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "support/platform.h"
#include "support/run_state.h"

namespace sstrxv {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForAppending(const std::string& path) {
  return File(std::fopen(platform::nativePath(path).c_str(), "a"));
}

void toStandardError(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

RunState& runState() noexcept {
  static RunState state;
  return state;
}

void writeLog(std::string_view message) noexcept {
  try {
    const RunState& run = runState();
    if (run.DebugFlag == 1) {
      std::fwrite(message.data(), 1, message.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
      return;
    }
    std::string line = platform::localTimestamp();
    line += ' ';
    line += message;
    line += '\n';

    File log = openForAppending(run.logPath);
    if (!log || std::fwrite(line.data(), 1, line.size(), log.get()) != line.size() ||
        std::fflush(log.get()) != 0) {
      toStandardError(line);
      return;
    }
    const long position = std::ftell(log.get());
    if (position > 0 && static_cast<std::uintmax_t>(position) > kLogRotationBytes) {
      log.reset();
      std::remove(platform::nativePath(run.oldLogPath).c_str());
      std::rename(platform::nativePath(run.logPath).c_str(),
                  platform::nativePath(run.oldLogPath).c_str());
      log = openForAppending(run.logPath);  // creates the new, empty log
    }
  } catch (...) {
    // no memory for the line: nothing more can be done for this message
  }
}

void logMessage(const char* format, ...) noexcept {
  std::string messageText;
  va_list args;
  va_start(args, format);
  appendFormatV(messageText, format, args);
  va_end(args);
  writeLog(messageText);
}

}  // namespace sstrxv
