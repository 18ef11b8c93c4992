#include "support/log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "support/env.h"
#include "support/files.h"
#include "support/platform.h"
#include "support/text.h"

namespace sstrxv {
namespace {

// How long a rotation waits for another run's rotation: a few short tries,
// then the message leaves the rotation to a later one. Whoever can read the
// log can lock it; no such lock holds up a run.
constexpr int kRotationLockTries = 5;
constexpr unsigned long kRotationLockPauseMilliseconds = 20;

// Takes the rotation lock of the log; false when another holds it through
// every try. A file system without locks rotates unlocked.
bool lockForRotation(Env& env, int file, bool& locked) noexcept {
  for (int attempt = 1;; ++attempt) {
    if (::flock(file, LOCK_EX | LOCK_NB) == 0) {
      locked = true;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return true;
    if (attempt == kRotationLockTries) return false;
    env.pauseMilliseconds(kRotationLockPauseMilliseconds);
  }
}

// Moves a log that has grown beyond the limit to the predecessor file. The
// runs that find it too large at the same time rotate one after the other,
// and only the file that is still at the log's name: a second run never
// moves the first one's fresh log over the history.
void rotateIfLarge(Env& env, int file, const platform::PlacedName& log, const std::string& oldLogPath) noexcept {
  struct stat measured {};
  if (::fstat(file, &measured) != 0 || static_cast<std::uintmax_t>(measured.st_size) <= kLogRotationBytes) return;
  // Without a lock (a file system that has none) the check below still
  // keeps a moved log from being moved again.
  bool locked = false;
  if (!lockForRotation(env, file, locked)) return;
  const int directory = log.directory.handle.get();
  struct stat current {};
  if (::fstatat(directory, log.name.c_str(), &current, AT_SYMLINK_NOFOLLOW) == 0 && current.st_dev == measured.st_dev &&
      current.st_ino == measured.st_ino) {
    const platform::PlacedName old = platform::placeName(oldLogPath);
    // Over the predecessor in one step: the history is never missing.
    if (old.directory.handle &&
        ::renameat(directory, log.name.c_str(), old.directory.handle.get(), old.name.c_str()) == 0) {
      static_cast<void>(platform::openForAppending(directory, log.name));  // the new, empty log
    }
  }
  if (locked) static_cast<void>(::flock(file, LOCK_UN));
}

// Appends the line, in one write where the system allows. A line cut short
// (a full disk, the file-size limit) is taken back, unless another run has
// appended after it meanwhile, so that the next line begins a line of its own.
bool appendLine(int file, std::string_view line) noexcept {
  std::size_t written = 0;
  off_t start = -1;
  while (written < line.size()) {
    const ssize_t done = ::write(file, line.data() + written, line.size() - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) break;
    if (written == 0) start = ::lseek(file, 0, SEEK_CUR) - done;
    written += static_cast<std::size_t>(done);
  }
  if (written == line.size()) return true;
  struct stat now {};
  if (written > 0 && start >= 0 && ::fstat(file, &now) == 0 && now.st_size == start + static_cast<off_t>(written)) {
    // When the take-back fails too, the fragment stays; the caller sends the line to standard error.
    if (::ftruncate(file, start) != 0) return false;
  }
  return false;
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

  // The directory is resolved for every message, as the log is opened for
  // every message; one that cannot be reached safely counts as unwritable.
  const platform::PlacedName place = platform::placeName(platform::nativePath(log.logPath));
  const platform::FileHandle file = place.directory.handle
                                        ? platform::openForAppending(place.directory.handle.get(), place.name)
                                        : platform::FileHandle();
  // One write per line: lines of runs writing at the same time never mix.
  if (!file || !appendLine(file.get(), line)) {
    toStandardError(line);
    return;
  }
  rotateIfLarge(env, file.get(), place, platform::nativePath(log.oldLogPath));
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
