// Prints the settings-file form of each argument: the value enciphered with
// the settings key, as upper-case hexadecimal digits. With --settings it
// writes the connection records into the settings file itself, the password
// read from the terminal without echo or from standard input.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "support/cipher.h"
#include "support/descriptors.h"
#include "support/input_paths.h"
#include "support/memory.h"
#include "support/platform.h"
#include "support/settings.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Out of memory: nothing written (1), the reason on standard error.
constexpr sstrxv::MemoryExhaustion kOutOfMemory{"sstrxv-encipher: out of memory\n", kExitFailed};

constexpr std::string_view kHelp =
    "Usage: sstrxv-encipher VALUE...\n"
    "  or:  sstrxv-encipher --settings HOST USER\n"
    "Print the stored form of each VALUE for the product's settings file\n"
    "../../Files/Melvarion.Ini, one line each: the value enciphered with the\n"
    "product's key, as upper-case hexadecimal digits.\n"
    "\n"
    "SSTRXV reads the keys NET8 (database host; empty: the local server), LOGIN\n"
    "(user) and PASS (password), each in a record of two lines:\n"
    "\n"
    "  ;Datenbank;                        the section\n"
    "  1;NET8;<stored form of the host>   the number, the key and the stored value\n"
    "\n"
    "--settings writes these three records into ../../Files/Melvarion.Ini,\n"
    "relative to the current directory (SSTRXV's working directory), each line\n"
    "ended by CR LF. HOST may be \"\" for the local server. The password is read\n"
    "from the terminal without echo (asked twice), or as the first line of\n"
    "standard input when that is no terminal; it is never an argument. Every\n"
    "other record of the file is kept byte for byte and earlier NET8, LOGIN and\n"
    "PASS records are replaced. The file is replaced whole, keeping its owner,\n"
    "group and permissions (a new file gets mode 0600); a link or a file with\n"
    "a second name at the path is refused.\n"
    "\n"
    "Options:\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "A value that is itself \"--help\", \"--version\" or \"--settings\" is given\n"
    "after \"--\".\n"
    "\n"
    "Exit status: 0 done, 1 nothing written (the reason on standard error),\n"
    "2 wrong usage.\n"
    "\n"
    "Examples: sstrxv-encipher dbserver exporter 'the password'\n"
    "          cd /opt/melvarion/bin/sstrxv && sstrxv-encipher --settings dbserver exporter\n";

constexpr std::string_view kUsage =
    "Usage: sstrxv-encipher VALUE...\n"
    "  or:  sstrxv-encipher --settings HOST USER   (the password is read, never an argument)\n"
    "Try 'sstrxv-encipher --help'.\n";

enum class LineRead { kRead, kEnd, kTooLong, kInterrupted, kFailed };

// One line of the descriptor without its line end (LF or CR LF); kEnd when
// nothing at all came before the end.
LineRead readLine(int fd, std::string& line) {
  line.clear();
  bool any = false;
  bool tooLong = false;
  for (;;) {
    char c = 0;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0) return errno == EINTR ? LineRead::kInterrupted : LineRead::kFailed;
    if (got == 0) {
      if (!any) return LineRead::kEnd;
      break;
    }
    any = true;
    if (c == '\n') break;
    if (line.size() > sstrxv::kSettingValueLimit) {
      tooLong = true;  // read on to the line end, keep nothing more
      continue;
    }
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return tooLong ? LineRead::kTooLong : LineRead::kRead;
}

void interruptRead(int) {}

// The terminal without echo while the password is typed, restored whatever
// happens. A signal that would end or stop the program ends the read
// instead, so the terminal is always given back as it was.
class HiddenInput {
 public:
  explicit HiddenInput(int fd) noexcept : fd_(fd) {
    struct sigaction interrupt {};
    interrupt.sa_handler = interruptRead;
    sigemptyset(&interrupt.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &interrupt, &saved_[i]);
    if (tcgetattr(fd_, &terminal_) != 0) return;
    termios hidden = terminal_;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
    hidden.c_lflag |= ECHONL;
    restore_ = tcsetattr(fd_, TCSAFLUSH, &hidden) == 0;
  }
  ~HiddenInput() {
    if (restore_) tcsetattr(fd_, TCSANOW, &terminal_);
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &saved_[i], nullptr);
  }
  HiddenInput(const HiddenInput&) = delete;
  HiddenInput& operator=(const HiddenInput&) = delete;

 private:
  static constexpr std::array<int, 5> kSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP};
  int fd_;
  termios terminal_{};
  bool restore_ = false;
  std::array<struct sigaction, kSignals.size()> saved_{};
};

LineRead askHidden(const char* prompt, std::string& line) {
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  const HiddenInput hidden(STDIN_FILENO);
  return readLine(STDIN_FILENO, line);
}

// The password from the terminal (typed twice) or from standard input;
// false, with the reason on standard error, when there is none.
bool readPassword(std::string& password) {
  LineRead read = LineRead::kFailed;
  if (isatty(STDIN_FILENO) != 0) {
    read = askHidden("Password: ", password);
    std::string again;
    if (read == LineRead::kRead) read = askHidden("Password again: ", again);
    if (read == LineRead::kRead && again != password) {
      std::fputs("sstrxv-encipher: the two passwords differ; nothing written\n", stderr);
      return false;
    }
  } else {
    read = readLine(STDIN_FILENO, password);
  }
  switch (read) {
    case LineRead::kRead:
      return true;
    case LineRead::kEnd:
      std::fputs("sstrxv-encipher: no password on standard input; nothing written\n", stderr);
      return false;
    case LineRead::kTooLong:
      std::fprintf(stderr, "sstrxv-encipher: the password is longer than %zu bytes; nothing written\n",
                   sstrxv::kSettingValueLimit);
      return false;
    case LineRead::kInterrupted:
      std::fputs("\nsstrxv-encipher: cancelled; nothing written\n", stderr);
      return false;
    case LineRead::kFailed:
      break;
  }
  std::fprintf(stderr, "sstrxv-encipher: reading the password failed: %s; nothing written\n", std::strerror(errno));
  return false;
}

int writeSettings(std::string_view host, std::string_view user) {
  std::string password;
  if (!readPassword(password)) return kExitFailed;
  const std::string path = sstrxv::platform::nativePath(sstrxv::kSettingsFilePath);
  const sstrxv::CredentialsWrite written = sstrxv::writeCredentials(sstrxv::kSettingsFilePath, {host, user, password});
  std::fill(password.begin(), password.end(), '\0');
  const char* reason = nullptr;
  switch (written) {
    case sstrxv::CredentialsWrite::kWritten:
      std::printf("NET8, LOGIN and PASS written to %s\n", path.c_str());
      return 0;
    case sstrxv::CredentialsWrite::kValueUnfit:
      reason = "a value is longer than 200 bytes or holds a line end";
      break;
    case sstrxv::CredentialsWrite::kNotPlainFile:
      reason = "it is a link, has a second name, is no regular file or is too large";
      break;
    case sstrxv::CredentialsWrite::kUnreadable:
      reason = "it cannot be read";
      break;
    case sstrxv::CredentialsWrite::kWriteFailed:
      reason = "its replacement could not be written in its directory";
      break;
  }
  std::fprintf(stderr, "sstrxv-encipher: %s: %s; nothing written\n", path.c_str(), reason);
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  sstrxv::endProcessWhenMemoryRunsOut<kOutOfMemory>();
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 2 && first == "--help") return std::fputs(kHelp.data(), stdout) < 0 ? kExitUsage : 0;
  if (argc == 2 && first == "--version") return std::puts("sstrxv-encipher " SSTRXV_VERSION) < 0 ? kExitUsage : 0;
  if (first == "--settings") {
    if (argc != 4) {
      std::fputs(kUsage.data(), stderr);
      return kExitUsage;
    }
    return writeSettings(argv[2], argv[3]);
  }
  const int firstValue = first == "--" ? 2 : 1;
  if (argc <= firstValue) {
    std::fputs(kUsage.data(), stderr);
    return kExitUsage;
  }
  for (int i = firstValue; i < argc; ++i) {
    std::puts(sstrxv::encryptText(argv[i], sstrxv::kSettingsKey).c_str());
  }
  return 0;
}
