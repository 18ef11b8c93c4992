#include "support/log.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "support/env.h"
#include "support/files.h"
#include "support/platform.h"
#include "support/text.h"

namespace sstrxv {
namespace {

// Moves a log that has grown beyond the limit to the predecessor file. The
// runs that find it too large at the same time rotate one after the other,
// and only the file that is still at the log path: a second run never moves
// the first one's fresh log over the history.
void rotateIfLarge(int file, const std::string& logPath, const std::string& oldLogPath) noexcept {
  struct stat measured {};
  if (::fstat(file, &measured) != 0 || static_cast<std::uintmax_t>(measured.st_size) <= kLogRotationBytes) return;
  // Without a lock (a file system that has none) the check below still
  // keeps a moved log from being moved again.
  static_cast<void>(::flock(file, LOCK_EX));
  struct stat current {};
  if (::lstat(logPath.c_str(), &current) == 0 && current.st_dev == measured.st_dev &&
      current.st_ino == measured.st_ino) {
    // Over the predecessor in one step: the history is never missing.
    ::rename(logPath.c_str(), oldLogPath.c_str());
    static_cast<void>(platform::openForAppending(logPath));  // the new, empty log
  }
  static_cast<void>(::flock(file, LOCK_UN));
}

void toStandardError(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

#if defined(__GNUC__)
__attribute__((format(printf, 2, 0)))
#endif
void logFormatV(Env& env, const char* format, std::va_list args) noexcept {
  std::string messageText;
  appendFormatV(messageText, format, args);
  env.writeLog(messageText);
}

// Each message is one line: a CR or LF inside it (from a logged value) is
// written as a blank, so that no message can start a line of its own.
std::string oneLine(std::string_view message) {
  std::string text(message);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

void writeRunLog(Env& env, std::string_view rawMessage) noexcept {
  try {
    const LogSettings& log = env.log;
    const std::string message = oneLine(rawMessage);
    if (log.DebugFlag == 1) {
      std::fwrite(message.data(), 1, message.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
      return;
    }
    std::string line = env.localTimestamp();
    line += ' ';
    line += message;
    line += '\n';

    const std::string logPath = platform::nativePath(log.logPath);
    const platform::FileHandle file = platform::openForAppending(logPath);
    // One write per line: lines of runs writing at the same time never mix.
    if (!file || !platform::writeAll(file.get(), line)) {
      toStandardError(line);
      return;
    }
    rotateIfLarge(file.get(), logPath, platform::nativePath(log.oldLogPath));
  } catch (...) {
    // a replaced clock that failed: nothing more can be done for this message
  }
}

void logMessage(Env& env, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  logFormatV(env, format, args);
  va_end(args);
}

namespace detail {
// The format was checked by MessageFormat when the program was compiled.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif
void logCheckedMessage(Env& env, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  logFormatV(env, format, args);
  va_end(args);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
}  // namespace detail

}  // namespace sstrxv
