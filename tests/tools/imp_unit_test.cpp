// sstrxv-imp as the operator runs it: on a terminal (a pseudo-terminal),
// into a pipe or a full device, in a UTF-8 and a plain locale.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../support/scratch_dir.h"
#include "support/text.h"
#include "tools/interface_reader.h"

namespace sstrxv {
namespace {

enum class Out { kTerminal, kPipe, kFull };

struct ImpRun {
  int code = -1;
  std::string out;  // standard output, on a terminal also standard error
  std::string err;
};

// Reads fd until its writer is gone, at most 20 seconds.
std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  for (int rounds = 0; rounds < 200; ++rounds) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) == 0) continue;
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

ImpRun runImp(const std::vector<std::string>& args, Out out, const char* locale) {
  int master = -1, slave = -1, errPipe[2] = {-1, -1}, outPipe[2] = {-1, -1};
  if (out == Out::kTerminal) {
    termios raw{};
    cfmakeraw(&raw);
    EXPECT_EQ(::openpty(&master, &slave, nullptr, &raw, nullptr), 0);
  } else {
    EXPECT_EQ(::pipe(outPipe), 0);
  }
  EXPECT_EQ(::pipe(errPipe), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int target = out == Out::kTerminal ? slave : out == Out::kPipe ? outPipe[1] : ::open("/dev/full", O_WRONLY);
    ::dup2(target, STDOUT_FILENO);
    ::dup2(out == Out::kTerminal ? slave : errPipe[1], STDERR_FILENO);
    ::setenv("LC_ALL", locale, 1);
    std::vector<char*> argv{const_cast<char*>(SSTRXV_IMP)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(SSTRXV_IMP, argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  if (slave >= 0) ::close(slave);
  if (outPipe[1] >= 0) ::close(outPipe[1]);
  ImpRun run;
  run.out = master >= 0 ? drain(master) : outPipe[0] >= 0 ? drain(outPipe[0]) : "";
  run.err = drain(errPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  for (const int fd : {master, errPipe[0], outPipe[0]}) {
    if (fd >= 0) ::close(fd);
  }
  return run;
}

class ImpTest : public test::ScratchDirTest {
 protected:
  ImpTest() : ScratchDirTest("imp-run") {}
  std::string write(const char* name, const std::string& bytes) const {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
};

std::string fcdLine(const char* number, const char* text) {
  return formatText("%-5s%-5s%-3s%-2s%-50s%-5s%-5sx\r\n", "L1", "M1", number, "K", text, "A", "-9");
}

// The bytes that could drive a terminal, in the locale's encoding.
bool drivesTerminal(const std::string& text, bool utf8) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0x1B || c == 0x7F || (c < 0x20 && c != '\n' && c != '\r')) return true;
    if (!utf8 && c >= 0x80 && c < 0xA0) return true;
    if (utf8 && c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
  }
  return false;
}

TEST_F(ImpTest, WhatReachesATerminalCannotDriveIt) {
  const std::string stored = std::string("K\xFC\x1B]0;owned\x07\x9B") + "2J";
  const std::string hostile = fcdLine("1", stored.c_str()) + fcdLine("2", "plain");
  const std::string file = write("FCD.imp", hostile);
  const std::string badPath = (dir / "x\x1B[2J\x9B").string();
  struct Case {
    std::vector<std::string> args;
    const char* locale;
    std::string shows;  // a part of the output
    Out out = Out::kTerminal;
  };
  const std::vector<Case> cases = {
      {{"show", "FCD", file}, "C", "K\xFC\\x1B]0;owned\\x07\\x9B2J"},
      {{"show", "FCD", file},
       "C.UTF-8",
       "K\xC3\xBC\\x1B]0;owned\\x07\xE2\x80\xBA"
       "2J"},
      {{"csv", "FCD", file}, "C", "\\x1B"},
      {{"csv", "FCD", file, "--utf8"}, "C.UTF-8", "\xC3\xBC\\x1B"},
      {{"diff", "FCD", file, write("new.imp", fcdLine("1", "\x1B[31m"))}, "C", "\\x1B[31m"},
      {{"show", "FCD", badPath}, "C.UTF-8", "x\\x1B[2J\\x9B"},
      {{"show", "FCD", file, "--where", "nofield\x1B=1"}, "C", "nofield\\x1B"},
      // Into a file the bytes stay as stored.
      {{"csv", "FCD", file}, "C.UTF-8", stored, Out::kPipe},
  };
  for (const Case& c : cases) {
    const ImpRun run = runImp(c.args, c.out, c.locale);
    SCOPED_TRACE(c.args[0] + " " + c.locale + ": " + run.out);
    EXPECT_EQ(drivesTerminal(run.out, std::strcmp(c.locale, "C") != 0), c.out != Out::kTerminal);
    EXPECT_NE(run.out.find(c.shows), std::string::npos);
  }
}

TEST_F(ImpTest, ExitCodesTellWhatWasFound) {
  const std::string oldFile = write("old.imp", fcdLine("001", "Krank") + fcdLine("2", "Urlaub"));
  const std::string newFile = write("new.imp", fcdLine("001", "Krank") + fcdLine("2", "Sonderurlaub"));
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::vector<std::string> args;
    Out out;
    int code;
    std::string says;  // a part of standard error
  };
  const std::vector<Case> cases = {
      {{"show", "FCD", oldFile, "--where", "function-code number=001"}, Out::kPipe, 0, ""},
      {{"show", "FCD", oldFile, "--where", "function-code number=1"}, Out::kPipe, 1, "function-code number=001"},
      {{"csv", "FCD", oldFile, "--where", "function-code text=Kr\xC3\xA4nk"}, Out::kPipe, 1, "Kr\xC3\xA4nk"},
      {{"show", "FCD", oldFile, "--where", "nofield=1"}, Out::kPipe, 2, fieldNames(*findLayout("FCD"))},
      {{"show", "FCD", fifo}, Out::kPipe, 2, "not a regular file"},
      {{"check", "FCD", "/dev/zero"}, Out::kPipe, 2, "not a regular file"},
      {{"show", "FCD", oldFile}, Out::kFull, 2, std::strerror(ENOSPC)},
      {{"fields", "FCD"}, Out::kFull, 2, std::strerror(ENOSPC)},
      {{"fields", "FCD"}, Out::kPipe, 0, ""},
      {{"types"}, Out::kFull, 2, std::strerror(ENOSPC)},
      {{"types", "FCD"}, Out::kPipe, 2, "unexpected argument 'FCD'"},
      {{"diff", "FCD", oldFile, oldFile}, Out::kPipe, 0, ""},
      {{"diff", "FCD", oldFile, newFile}, Out::kPipe, 1, ""},
      {{"diff", "FCD", oldFile}, Out::kPipe, 2, "two files"},
      {{"diff", "FCD", oldFile, fifo}, Out::kPipe, 2, "not a regular file"},
  };
  for (const Case& c : cases) {
    const ImpRun run = runImp(c.args, c.out, "C.UTF-8");
    EXPECT_EQ(run.code, c.code) << c.args[0] << " " << c.args.back() << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args[0] << ": " << run.err;
  }
}

}  // namespace
}  // namespace sstrxv
