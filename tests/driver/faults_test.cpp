// Faults from outside, with the program run in-process so that its pauses
// are counted instead of waited for: settings without a user, a file-size
// limit, a directory at the output path, a connection dropped by the server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "common/test_env.h"
#include "driver/driver.h"
#include "support/cipher.h"

using namespace sstrxv;
using namespace sstrxv::test;
namespace fs = std::filesystem;

namespace {

class FaultTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    env.onPause = [this](unsigned long) { ++pauses; };
    layout.configure(env);
  }

  int run(const std::string& path, const char* type) {
    const char* argv[] = {"SSTRXV", path.c_str(), type};
    return sstrxv::runProgram(3, argv, env);
  }
  std::size_t countLog(const std::string& message) const {
    const auto log = layout.logMessages();
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), message));
  }

  ObservedEnv env;
  int pauses = 0;
};

std::string record(int number, const std::string& key, const std::string& plain, const char* end = "\r\n") {
  return std::string(";Datenbank;") + end + std::to_string(number) + ";" + key + ";" +
         encryptText(plain, kSettingsKey) + end;
}

}  // namespace

TEST_F(FaultTest, SettingsWithoutUserNeverLogIn) {
  const std::string valid =
      record(1, "NET8", "") + record(2, "LOGIN", kProgramUser) + record(3, "PASS", kProgramPassword);
  struct Case {
    const char* name;
    std::string settings;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"binary junk", std::string("\0\xFF\x01;;\n\x80;2;LOGIN;\n", 16)},
      {"no LOGIN key", record(1, "NET8", "") + record(3, "PASS", kProgramPassword)},
      {"CR-only line ends", record(1, "NET8", "", "\r") + record(2, "LOGIN", kProgramUser, "\r")},
      {"a stray first line", "stray\r\n" + valid},
      {"a directory", ""},
  };
  db.exec("SET GLOBAL log_output = 'TABLE'; SET GLOBAL general_log = 1; TRUNCATE TABLE mysql.general_log");
  const fs::path settings = layout.root() / "Files" / "Melvarion.Ini";
  for (const Case& c : cases) {
    fs::remove_all(settings);
    if (std::string_view(c.name) == "a directory")
      fs::create_directory(settings);
    else
      writeFile(settings, c.settings);
    pauses = 0;
    EXPECT_EQ(run(outPath("mnd.imp"), "MND"), 99) << c.name;
    EXPECT_EQ(pauses, 5) << c.name;  // the reconnection attempts, then the end
    const auto log = layout.logMessages();
    ASSERT_GE(log.size(), 2u) << c.name;
    EXPECT_EQ(log[log.size() - 12], "Kein Datenbankbenutzer (LOGIN) in " + env.inputs.settingsFile) << c.name;
    EXPECT_EQ(log[log.size() - 11], "Datenbankverbindung fehlgeschlagen, Fehler: -1") << c.name;
  }
  // Not one login was tried: not as the system account, not as anyone.
  const std::string connects = db.scalar("SELECT COUNT(*) FROM mysql.general_log WHERE command_type = 'Connect'");
  db.exec("SET GLOBAL general_log = 0");
  EXPECT_EQ(connects, "0");
  EXPECT_FALSE(fs::exists(outPath("mnd.imp")));
}

TEST_F(FaultTest, FileSizeLimitAndADirectoryAtThePathAreFailedWrites) {
  db.exec(
      "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDNA1, MNDKON) SELECT seq, seq, 'Name', 0 "
      "FROM MVSYSTEM.seq_1_to_2000");
  const std::string path = outPath("mnd.imp");
  // The program itself must survive the limit: the signal keeps its default.
  const auto runLimited = [this, &path] {
    const rlimit small{32 * 1024, 32 * 1024};
    setrlimit(RLIMIT_FSIZE, &small);
    std::signal(SIGXFSZ, SIG_DFL);
    std::exit(run(path, "MND"));
  };
  EXPECT_EXIT(runLimited(), ::testing::ExitedWithCode(99), "");
  EXPECT_EQ(countLog("Schreiben der Datei " + path + " fehlgeschlagen"), 5u);
  EXPECT_EQ(layout.logMessages().back(), "Die Schnittstellendatei vom Dateityp 'MND' konnte nicht erstellt werden!");

  // An empty directory where the file should be is not deleted.
  const fs::path directory = layout.outDir() / "dir.imp";
  fs::create_directory(directory);
  EXPECT_EQ(run(directory.string(), "MND"), 99);
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_EQ(countLog("Oeffnen der Datei " + directory.string() + " fehlgeschlagen"), 5u);
}

// A log over the rotation size that another process keeps locked holds up
// no run, and every line stays whole.
TEST_F(FaultTest, LockedLogHoldsUpNoRun) {
  unsigned long paused = 0;
  std::vector<std::string> messages;
  env.onPause = [&paused](unsigned long milliseconds) { paused += milliseconds; };
  env.onMessage = [&messages](std::string_view message) { messages.emplace_back(message); };
  std::string history;
  while (history.size() <= kLogRotationBytes) history += "history line\n";
  writeFile(layout.logFile(), history);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {  // another process that can read the log, for at most half a minute
    ::alarm(30);
    if (::flock(::open(layout.logFile().c_str(), O_RDONLY), LOCK_EX) != 0 || ::write(ready[1], "l", 1) != 1) ::_exit(1);
    ::pause();
  }
  ::close(ready[1]);
  char taken = 0;
  ASSERT_EQ(::read(ready[0], &taken, 1), 1);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(run(outPath("mnd.imp"), "MND"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  ::kill(holder, SIGKILL), ::waitpid(holder, nullptr, 0), ::close(ready[0]);
  EXPECT_LT(paused, 10000ul);
  const std::string lines = readFile(layout.oldLogFile()) + readFile(layout.logFile());
  std::istringstream logged(lines.substr(std::min(lines.size(), history.size())));
  std::vector<std::string> texts;
  for (std::string entry; std::getline(logged, entry);)
    texts.push_back(entry.substr(std::min<std::size_t>(20, entry.size())));
  EXPECT_TRUE(lines.starts_with(history));
  EXPECT_EQ(texts, messages);
}

TEST_F(FaultTest, ConnectionDroppedMidExportIsReconnectedAndTheFileWrittenWhole) {
  constexpr int kBadges = 1000;
  // Two tenants, each with half of the badges and their holders.
  db.exec(
      "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('L1', 'M1', 'T1', 0),"
      " ('L2', 'M2', 'T2', 0);"
      "INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWPNR, ASWMND) "
      "SELECT CONCAT('A', seq), NOW() - INTERVAL 1 DAY, seq, IF(seq % 2 = 1, 'M1', 'M2')"
      " FROM MVSYSTEM.seq_1_to_1000;"
      "INSERT INTO MVSYSTEM.MVS113AWV (AWVNUM) SELECT CONCAT('A', seq) FROM MVSYSTEM.seq_1_to_1000;"
      "CREATE INDEX IF NOT EXISTS asw_num ON MVSYSTEM.MVS301ASW (ASWNUM);"
      "CREATE INDEX IF NOT EXISTS awv_num ON MVSYSTEM.MVS113AWV (AWVNUM)");
  for (const std::string schema : {"T1", "T2"}) {
    db.createTenantSchema(schema);
    db.exec("INSERT INTO " + schema +
            ".MVS300PNR (PNRNUM) SELECT seq FROM MVSYSTEM.seq_1_to_1000;"
            "CREATE INDEX pnr_num ON " +
            schema + ".MVS300PNR (PNRNUM)");
  }
  const std::string path = outPath("idstamm.imp");

  // When the second tenant is announced, the first tenant's lines have
  // been written to the file, which has no name until it is written whole.
  // Right then, and only the first time, a second session kills the
  // program's connection and waits until the server has let it go: the
  // program's next statement, the second tenant's badge cursor, fails for
  // certain.
  bool killed = false;
  env.onMessage = [&](std::string_view message) {
    if (killed || message != "Schema:T2 Lizenz:L2 Mandant:M2") return;
    killed = true;
    TestDatabase root;
    const std::string id = root.scalar("SELECT id FROM information_schema.processlist WHERE user = 'sstrxv'");
    ASSERT_FALSE(id.empty());
    root.exec("KILL CONNECTION " + id);
    while (!root.scalar("SELECT id FROM information_schema.processlist WHERE id = " + id).empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  const int code = run(path, "IDN");

  ASSERT_TRUE(killed);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(sortedLines(readFile(path)).size(), static_cast<std::size_t>(kBadges));
  const auto log = layout.logMessages();
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string& m) { return m.starts_with("Fehler in Fkt. SQLOpenIDS(). RC: 20"); }),
            log.end())
      << ::testing::PrintToString(log);
  EXPECT_EQ(countLog("Import " + path + " fehlgeschlagen."), 1u);
  EXPECT_EQ(countLog("Die Verbindung zur Datenbank wurde wiederhergestellt!"), 1u);
  EXPECT_EQ(log.back(), "Die Schnittstellendatei vom Dateityp 'IDN' wurde erstellt!");
}

// A server that never answers, or that stalls a statement, ends the run
// with 99 through the reconnection policy instead of hanging it.
TEST_F(FaultTest, ServerThatDoesNotAnswerEndsTheRunInBoundedTime) {
  struct Case {
    const char* name;
    bool silentServer;  // else the statement on the tenant table waits for a lock
    const char* firstFailure;
  };
  const Case cases[] = {
      {"a server that accepts and never answers", true, "Datenbankverbindung fehlgeschlagen, Fehler: "},
      {"a statement without answer", false, "Fehler in Fkt. SQLOpenMvs112Mnd(). RC: "},
  };
  for (const Case& c : cases) {
    LoopbackListener listener;  // a server that accepts and never answers
    ConnectionOptions options{.connectTimeoutSeconds = 1, .readTimeoutSeconds = 1, .writeTimeoutSeconds = 1};
    if (c.silentServer) {
      options.port = listener.port();
      layout.writeSettings("127.0.0.1", kProgramUser, kProgramPassword);
    } else {
      layout.writeSettings("", kProgramUser, kProgramPassword);
      db.exec("LOCK TABLES MVSYSTEM.MVS112MND WRITE");
    }
    fs::remove(layout.logFile());
    const std::string path = outPath("kst.imp");
    const char* argv[] = {"SSTRXV", path.c_str(), "KST"};
    const auto started = std::chrono::steady_clock::now();
    const int code = sstrxv::runProgram(3, argv, env, options);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!c.silentServer) db.exec("UNLOCK TABLES");

    EXPECT_EQ(code, 99) << c.name;
    EXPECT_LT(seconds, 30.0) << c.name;
    const auto log = layout.logMessages();
    EXPECT_NE(std::find_if(log.begin(), log.end(), [&](const std::string& m) { return m.starts_with(c.firstFailure); }),
              log.end())
        << c.name << ": " << ::testing::PrintToString(log);
    std::cout << c.name << ": exit code " << code << " after " << seconds << " s\n";
  }
}
