#include "support/log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "support/platform.h"
#include "support/text.h"

namespace sstrxv {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The log's settings: its own, nothing of the run it reports on.
LogSettings& settings() noexcept {
  static LogSettings current;
  return current;
}

File openForAppending(const std::string& path) {
  return File(std::fopen(platform::nativePath(path).c_str(), "a"));
}

void toStandardError(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

#if defined(__GNUC__)
__attribute__((format(printf, 1, 0)))
#endif
void logFormatV(const char* format, std::va_list args) noexcept {
  std::string messageText;
  appendFormatV(messageText, format, args);
  writeLog(messageText);
}

}  // namespace

LogSettings configureLog(LogSettings next) noexcept {
  return std::exchange(settings(), std::move(next));
}

namespace {

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

void writeLog(std::string_view rawMessage) noexcept {
  try {
    const LogSettings& log = settings();
    const std::string message = oneLine(rawMessage);
    if (log.DebugFlag == 1) {
      std::fwrite(message.data(), 1, message.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
      return;
    }
    std::string line = platform::localTimestamp();
    line += ' ';
    line += message;
    line += '\n';

    File file = openForAppending(log.logPath);
    if (!file || std::fwrite(line.data(), 1, line.size(), file.get()) != line.size() ||
        std::fflush(file.get()) != 0) {
      toStandardError(line);
      return;
    }
    const long position = std::ftell(file.get());
    if (position > 0 && static_cast<std::uintmax_t>(position) > kLogRotationBytes) {
      file.reset();
      std::remove(platform::nativePath(log.oldLogPath).c_str());
      std::rename(platform::nativePath(log.logPath).c_str(),
                  platform::nativePath(log.oldLogPath).c_str());
      file = openForAppending(log.logPath);  // creates the new, empty log
    }
  } catch (...) {
    // no memory for the line: nothing more can be done for this message
  }
}

void logMessage(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  logFormatV(format, args);
  va_end(args);
}

namespace detail {
// The format was checked by MessageFormat when the program was compiled.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif
void logCheckedMessage(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  logFormatV(format, args);
  va_end(args);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
}  // namespace detail

}  // namespace sstrxv
