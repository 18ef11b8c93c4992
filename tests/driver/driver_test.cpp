// The program as operators start it: arguments, exit codes, log messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_env.h"
#include "db/session.h"
#include "driver/connect.h"
#include "driver/driver.h"

using namespace sstrxv;
using namespace sstrxv::test;
namespace fs = std::filesystem;

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.reset();
    layout.writeSettings("", kProgramUser, kProgramPassword);
  }
  std::string out(const std::string& name) const { return (layout.outDir() / name).string(); }

  TestDatabase db;
  InstallLayout layout;
};

}  // namespace

TEST_F(ProgramTest, TooFewArgumentsShowBannerAndUsage) {
  const auto result = runProgram(layout, {"only-one"});
  EXPECT_EQ(result.exitCode, 90);
  EXPECT_EQ(result.output, std::string(usageText()));
  EXPECT_EQ(result.output.substr(0, 62), "\n************************************************************\n");
  EXPECT_NE(result.output.find("vollst\xE4ndiger Pfad"), std::string::npos);
  // An empty line, seven frame lines of 60 characters, an empty line, 21 lines of usage.
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < result.output.size();) {
    const auto end = result.output.find('\n', start);
    lines.push_back(result.output.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), 30u);
  for (std::size_t i = 1; i <= 7; ++i) {
    EXPECT_EQ(lines[i].size(), 60u) << lines[i];
    EXPECT_EQ(lines[i].substr(58), "**");
  }
  EXPECT_EQ(lines[6].find("mit Daten"), lines[5].find("Fuellt"));
  EXPECT_EQ(lines[9], "Befehlsformat: ");
  EXPECT_EQ(lines[28], "SSTRxv.EXE ../Transfer/Pollarix/mgsst35p.imp  35p  /D  ");
  EXPECT_EQ(lines[29], "");
  EXPECT_FALSE(fs::exists(layout.logFile()));
  EXPECT_EQ(runProgram(layout, {}).exitCode, 90);
}

TEST_F(ProgramTest, UnknownFileTypeIsRefusedAfterConnecting) {
  const auto result = runProgram(layout, {out("x.imp"), "xyz"});
  EXPECT_EQ(result.exitCode, 90);
  EXPECT_EQ(layout.logMessages(), std::vector<std::string>{"Error: Dateityp 'XYZ' ungueltig !"});
  // Shorter than a selection key and beginning with no code.
  runProgram(layout, {out("x.imp"), "abcdefghijklm"});
  EXPECT_EQ(layout.logMessages().back(), "Error: Dateityp 'ABCDEFGHIJKLM' ungueltig !");
  EXPECT_FALSE(fs::exists(out("x.imp")));
}

TEST_F(ProgramTest, FileTypeIsMatchedByItsFirstThreeLettersInAnyCase) {
  db.exec(
      "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDNA1, MNDSTA, MNDDAT, MNDERF, MNDKON, MNDSCH)"
      " VALUES ('L1', 'M1', 'Name', '0', '2026-03-01 06:15:00', 'admin', 0, 'T1')");
  for (const std::string type : {"mnd", "Mnd", "MNDSTAMM_EXTRA"}) {
    const auto result = runProgram(layout, {out("mnd.imp"), type});
    EXPECT_EQ(result.exitCode, 0) << type;
    EXPECT_EQ(readFile(out("mnd.imp")).size(), 132u) << type;
  }
  EXPECT_EQ(layout.logMessages().back(), "Die Schnittstellendatei vom Dateityp 'MNDSTAMM_EXTRA' wurde erstellt!");
}

TEST_F(ProgramTest, DebugSwitchSendsMessagesToTheConsole) {
  const auto result = runProgram(layout, {out("mnd.imp"), "MND", "/D"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "Importdatei : " + out("mnd.imp") + " fuellen...\nImport " + out("mnd.imp") +
                               " fertig.\nDie Schnittstellendatei vom Dateityp 'MND' wurde erstellt!\n");
  EXPECT_FALSE(fs::exists(layout.logFile()));

  // "/d" counts as well; a longer switch or a fourth argument does not.
  EXPECT_FALSE(runProgram(layout, {out("mnd.imp"), "MND", "/d"}).output.empty());
  EXPECT_TRUE(runProgram(layout, {out("mnd.imp"), "MND", "/Debug"}).output.empty());
  EXPECT_TRUE(runProgram(layout, {out("mnd.imp"), "MND", "/D", "more"}).output.empty());
  EXPECT_EQ(layout.logMessages().size(), 6u);
}

TEST_F(ProgramTest, BackslashesInThePathAreSeparators) {
  const auto result = runProgram(layout, {"..\\..\\out\\mnd.imp", "MND"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(fs::exists(layout.outDir() / "mnd.imp"));
  EXPECT_EQ(layout.logMessages().front(), "Importdatei : ..\\..\\out\\mnd.imp fuellen...");
}

TEST_F(ProgramTest, WriterThatCannotOpenItsFileFailsAfterFiveAttempts) {
  // Run in-process so that the 10-second pauses can be replaced.
  int pauses = 0;
  ObservedEnv env;
  env.onPause = [&pauses](unsigned long ms) { pauses += ms == 10000u ? 1 : 100; };
  layout.configure(env);
  const std::string path = (layout.root() / "missing-dir" / "mnd.imp").string();
  const char* argv[] = {"SSTRXV", path.c_str(), "MND"};
  EXPECT_EQ(sstrxv::runProgram(3, argv, env), 99);
  EXPECT_EQ(pauses, 4);
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "Oeffnen der Datei " + path + " fehlgeschlagen");
  EXPECT_EQ(log[4], log[0]);
  EXPECT_EQ(log[5], "Die Schnittstellendatei vom Dateityp 'MND' konnte nicht erstellt werden!");
}

TEST_F(ProgramTest, NoConnectionAtStartEndsWith99) {
  int pauses = 0;
  ObservedEnv env;
  env.onPause = [&pauses](unsigned long) { ++pauses; };
  layout.writeSettings("", kProgramUser, "wrong");
  layout.configure(env);
  const std::string path = out("mnd.imp");
  const char* argv[] = {"SSTRXV", path.c_str(), "MND"};
  EXPECT_EQ(sstrxv::runProgram(3, argv, env), 99);
  EXPECT_EQ(pauses, 5);
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[0], "Datenbankverbindung fehlgeschlagen, Fehler: 1045");
  EXPECT_EQ(log[10], "Fehler dbConnect(dbReconnect)! RC: 1045 Versuch-Nr.: 5");
  EXPECT_FALSE(fs::exists(path));
}

// The settings file at the environment's path is read once, at start-up:
// the reconnections log in with what it held then.
TEST_F(ProgramTest, CredentialsAreReadOnceFromTheEnvironmentsSettingsFile) {
  ObservedEnv env;
  layout.configure(env);
  DbSession session(env);
  ASSERT_EQ(connectWithSettings(session), RC_OK);
  layout.writeSettings("", kProgramUser, "wrong");
  EXPECT_TRUE(dbReconnect(session));
  EXPECT_EQ(layout.logMessages().back(), "Die Verbindung zur Datenbank wurde wiederhergestellt!");
  dbDisconnect(session);
}

// The attempt loop with stand-in writers.
namespace {

int calls;
int reconnectPauses;
int attemptPauses;
std::vector<int> results;

WriterResult scriptedWriter(ExportContext&) noexcept {
  const int result = results[static_cast<size_t>(calls)];
  ++calls;
  return static_cast<WriterResult>(result);
}

class AttemptLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls = attemptPauses = reconnectPauses = 0;
    layout.configure(env);
    env.onPause = [](unsigned long ms) {
      if (ms == 10000u)
        ++attemptPauses;
      else
        ++reconnectPauses;
    };
    run.FileType.assign("MND");
    run.session.user.assign(kProgramUser);
    run.session.password.assign(kProgramPassword);
  }
  void TearDown() override { dbDisconnect(run.session); }
  InstallLayout layout;
  ObservedEnv env;
  RunState run{env};
};

}  // namespace

TEST_F(AttemptLoopTest, FileErrorsArePausedButNeverReconnected) {
  results = {1, 1, 1, 1, 1};
  EXPECT_EQ(runAttempts(run, scriptedWriter), 99);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(attemptPauses, 4);
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "Die Schnittstellendatei vom Dateityp 'MND' konnte nicht erstellt werden!");
}

TEST_F(AttemptLoopTest, DatabaseErrorsReconnectBeforeTheNextAttempt) {
  results = {2, 2, 2, 2, 0};
  EXPECT_EQ(runAttempts(run, scriptedWriter), 0);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(attemptPauses, 4);
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 9u);  // four reconnections of two messages each, then the result
  EXPECT_EQ(log[0], "1. Versuch zur Wiederherstellung der Datenbankverbindung!");
  EXPECT_EQ(log[1], "Die Verbindung zur Datenbank wurde wiederhergestellt!");
  EXPECT_EQ(log[8], "Die Schnittstellendatei vom Dateityp 'MND' wurde erstellt!");

  // A database error on the fifth attempt ends without reconnection.
  calls = 0;
  results = {2, 2, 2, 2, 2};
  EXPECT_EQ(runAttempts(run, scriptedWriter), 99);
  EXPECT_EQ(layout.logMessages().size(), 9u + 9u);
}

TEST_F(AttemptLoopTest, FailedReconnectionEndsTheRun) {
  results = {2, 0};
  run.session.password.assign("wrong");
  EXPECT_EQ(runAttempts(run, scriptedWriter), 99);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(reconnectPauses, 5);
  EXPECT_EQ(attemptPauses, 0);
  EXPECT_EQ(layout.logMessages().back(),
            "Die Schnittstellendatei vom Dateityp 'MND' konnte auf Grund von DB-Verbindungproblemen nicht "
            "erstellt werden.");
}
