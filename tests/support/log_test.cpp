#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "scratch_dir.h"
#include "support/env.h"
#include "support/log.h"

using namespace sstrxv;
namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path) { return test::readBytes(path); }

class LogTest : public test::ScratchDirTest {
 protected:
  LogTest() : ScratchDirTest("log") {}
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directories(dir / "log");
    // Written with the backslashes of the original paths.
    settings.logPath = (dir / "log").string() + "\\sstrxv.log";
    settings.oldLogPath = (dir / "log").string() + "\\sstrxv.old";
    env.log = settings;
  }
  fs::path log() const { return dir / "log" / "sstrxv.log"; }
  fs::path old() const { return dir / "log" / "sstrxv.old"; }

  // Fills the log so that its size is exactly `bytes`.
  void fillTo(std::uintmax_t bytes) { std::ofstream(log(), std::ios::binary) << std::string(bytes, 'a'); }

  LogSettings settings;
  Env env;
};

constexpr std::uintmax_t kStampAndBlank = 20;  // "YYYY-MM-DD HH:MM:SS "

}  // namespace

TEST_F(LogTest, LinesAreStampedAndMessagesTakenLiterally) {
  env.writeLog("Import 100%s fertig.");
  env.writeLog("");
  const std::string text = read(log());
  ASSERT_EQ(text.size(), kStampAndBlank + 20 + 1 + kStampAndBlank + 1);
  EXPECT_EQ(text.substr(4, 1), "-");
  EXPECT_EQ(text.substr(19, 21), " Import 100%s fertig.");
  EXPECT_EQ(text.substr(text.size() - 2), " \n");
}

// The stamp is the time the run's environment tells, as it tells it.
TEST_F(LogTest, StampIsTheEnvironmentsLocalTime) {
  struct FixedClock : Env {
    std::string localTimestamp() noexcept override { return "2026-03-01 06:15:00"; }
  } fixed;
  fixed.log = settings;
  fixed.writeLog("Import x fertig.");
  logMessage(fixed, "RC: %ld", 1032L);
  EXPECT_EQ(read(log()), "2026-03-01 06:15:00 Import x fertig.\n2026-03-01 06:15:00 RC: 1032\n");
}

TEST_F(LogTest, RotatesOnlyAboveTenMebibytes) {
  constexpr std::uintmax_t kTenMebibytes = 10485760;  // the log's size limit as operators know it
  const std::string message(10, 'm');
  const std::uintmax_t line = kStampAndBlank + message.size() + 1;

  fillTo(kTenMebibytes - line);  // exactly at the limit after the write: kept
  env.writeLog(message);
  EXPECT_EQ(fs::file_size(log()), kTenMebibytes);
  EXPECT_FALSE(fs::exists(old()));

  env.writeLog("x");  // one line over: this line ends the predecessor
  EXPECT_TRUE(fs::exists(old()));
  EXPECT_EQ(fs::file_size(old()), kTenMebibytes + kStampAndBlank + 2);
  EXPECT_EQ(fs::file_size(log()), 0u);

  env.writeLog("next");
  EXPECT_EQ(read(log()).substr(kStampAndBlank), "next\n");

  // A second rotation replaces the first predecessor.
  fillTo(kTenMebibytes);
  env.writeLog("second");
  EXPECT_EQ(read(old()).substr(kTenMebibytes + kStampAndBlank), "second\n");
}

TEST_F(LogTest, DebugFlagEchoesToTheConsoleOnly) {
  settings.DebugFlag = 1;
  env.log = settings;
  ::testing::internal::CaptureStdout();
  env.writeLog("Import x fertig.");
  logMessage(env, "RC: %ld", -1L);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Import x fertig.\nRC: -1\n");
  EXPECT_FALSE(fs::exists(log()));
}

TEST_F(LogTest, UnwritableLogGoesToStandardError) {
  fs::remove_all(dir / "log");
  ::testing::internal::CaptureStderr();
  logMessage(env, "Fehler in Fkt. %s(). RC: %ld", "SQLOpenIDS", 1146L);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(kStampAndBlank), "Fehler in Fkt. SQLOpenIDS(). RC: 1146\n");
}

TEST_F(LogTest, LineEndsInsideAMessageCannotForgeALine) {
  logMessage(env, "Schema:%s Lizenz:%s Mandant:%s", "T1\r\n2026-01-01 00:00:00 Import x fertig.", "L\n1", "M\r1");
  const std::string text = read(log());
  EXPECT_EQ(text.substr(kStampAndBlank), "Schema:T1  2026-01-01 00:00:00 Import x fertig. Lizenz:L 1 Mandant:M 1\n");
}

TEST_F(LogTest, NoWriteThroughALinkOrIntoAFifoAtTheLogPath) {
  const fs::path target = dir / "owned-by-root";
  struct Case {
    const char* name;
    void (*plant)(const fs::path& log, const fs::path& victim);
  };
  const Case cases[] = {
      {"a link planted by another user",
       [](const fs::path& log, const fs::path& victim) {
         fs::create_symlink(victim, log);
         if (::geteuid() == 0) {
           ASSERT_EQ(::lchown(log.c_str(), 65534, 65534), 0);  // nobody
         }
       }},
      {"a second name of the file",
       [](const fs::path& log, const fs::path& victim) { fs::create_hard_link(victim, log); }},
      {"a FIFO nobody reads", [](const fs::path& log, const fs::path&) { ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    std::ofstream(target, std::ios::binary) << "root:secret\n";
    fs::remove(log());
    c.plant(log(), target);
    ::testing::internal::CaptureStderr();
    env.writeLog("Import x fertig.");  // does not wait for a FIFO reader
    EXPECT_EQ(::testing::internal::GetCapturedStderr().substr(kStampAndBlank), "Import x fertig.\n") << c.name;
    EXPECT_EQ(read(target), "root:secret\n") << c.name;
  }
}

// Twenty runs that log at the rotation threshold at the same moment, in
// several rounds: every line of the history and of every run is kept, each
// one whole.
TEST_F(LogTest, ConcurrentRotationKeepsEveryLine) {
  constexpr int kRounds = 25;
  constexpr int kRuns = 20;
  constexpr int kLinesPerRun = 20;
  const std::string history = "history line\n";
  const std::uintmax_t historyLines = (kLogRotationBytes + history.size() - 1) / history.size();
  std::string full;
  for (std::uintmax_t i = 0; i < historyLines; ++i) full += history;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove(old());
    std::ofstream(log(), std::ios::binary) << full;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> runs;
    for (int run = 0; run < kRuns; ++run) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        char go;
        if (::read(start[0], &go, 1) != 1) ::_exit(1);  // no start signal: its lines are missed
        for (int i = 0; i < kLinesPerRun; ++i) logMessage(env, "run %d line %d", run, i);
        ::_exit(0);
      }
      runs.push_back(pid);
    }
    ::close(start[0]);
    const std::string go(kRuns, 'g');
    ASSERT_EQ(::write(start[1], go.data(), go.size()), static_cast<ssize_t>(go.size()));
    ::close(start[1]);
    for (const pid_t pid : runs) ::waitpid(pid, nullptr, 0);

    std::uintmax_t historyKept = 0;
    std::set<std::string> messages;
    for (const fs::path& file : {old(), log()}) {
      std::istringstream lines(read(file));
      for (std::string line; std::getline(lines, line);) {
        if (line + "\n" == history) {
          ++historyKept;
          continue;
        }
        ASSERT_GT(line.size(), kStampAndBlank) << line;
        EXPECT_TRUE(messages.insert(line.substr(kStampAndBlank)).second) << line;
      }
    }
    ASSERT_EQ(historyKept, historyLines) << "round " << round;
    ASSERT_EQ(messages.size(), static_cast<std::size_t>(kRuns * kLinesPerRun)) << "round " << round;
  }
}

// A line cut short (here by the file-size limit) is taken back, so the
// next line starts a line of its own.
TEST_F(LogTest, LineCutShortIsTakenBack) {
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
  for (const rlim_t taken : {rlim_t{1}, rlim_t{30}}) {
    std::ofstream(log(), std::ios::binary) << "history\n";
    const rlimit limited{8 + taken, previous.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    env.writeLog("Import x fertig.");  // cut short: taken back, and sent to standard error
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &previous), 0);
    env.writeLog("next");
    EXPECT_EQ(read(log()).substr(0, 8) + read(log()).substr(8 + kStampAndBlank), "history\nnext\n") << taken;
  }
  std::signal(SIGXFSZ, previousSignal);
}
