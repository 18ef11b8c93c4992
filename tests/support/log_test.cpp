#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/log.h"

using namespace sstrxv;
namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("sstrxv-log-" + std::to_string(::getpid()));
    fs::create_directories(dir / "log");
    // Written with the backslashes of the original paths.
    settings.logPath = (dir / "log").string() + "\\sstrxv.log";
    settings.oldLogPath = (dir / "log").string() + "\\sstrxv.old";
    configureLog(settings);
  }
  void TearDown() override {
    configureLog(LogSettings{});
    fs::remove_all(dir);
  }
  fs::path log() const { return dir / "log" / "sstrxv.log"; }
  fs::path old() const { return dir / "log" / "sstrxv.old"; }

  // Fills the log so that its size is exactly `bytes`.
  void fillTo(std::uintmax_t bytes) {
    std::ofstream(log(), std::ios::binary) << std::string(bytes, 'a');
  }

  fs::path dir;
  LogSettings settings;
};

constexpr std::uintmax_t kStampAndBlank = 20;  // "YYYY-MM-DD HH:MM:SS "

}  // namespace

TEST_F(LogTest, LinesAreStampedAndMessagesTakenLiterally) {
  writeLog("Import 100%s fertig.");
  writeLog("");
  const std::string text = read(log());
  ASSERT_EQ(text.size(), kStampAndBlank + 20 + 1 + kStampAndBlank + 1);
  EXPECT_EQ(text.substr(4, 1), "-");
  EXPECT_EQ(text.substr(19, 21), " Import 100%s fertig.");
  EXPECT_EQ(text.substr(text.size() - 2), " \n");
}

TEST_F(LogTest, RotatesOnlyAboveTenMebibytes) {
  constexpr std::uintmax_t kTenMebibytes = 10485760;  // the log's size limit as operators know it
  const std::string message(10, 'm');
  const std::uintmax_t line = kStampAndBlank + message.size() + 1;

  fillTo(kTenMebibytes - line);  // exactly at the limit after the write: kept
  writeLog(message);
  EXPECT_EQ(fs::file_size(log()), kTenMebibytes);
  EXPECT_FALSE(fs::exists(old()));

  writeLog("x");  // one line over: this line ends the predecessor
  EXPECT_TRUE(fs::exists(old()));
  EXPECT_EQ(fs::file_size(old()), kTenMebibytes + kStampAndBlank + 2);
  EXPECT_EQ(fs::file_size(log()), 0u);

  writeLog("next");
  EXPECT_EQ(read(log()).substr(kStampAndBlank), "next\n");

  // A second rotation replaces the first predecessor.
  fillTo(kTenMebibytes);
  writeLog("second");
  EXPECT_EQ(read(old()).substr(kTenMebibytes + kStampAndBlank), "second\n");
}

TEST_F(LogTest, DebugFlagEchoesToTheConsoleOnly) {
  settings.DebugFlag = 1;
  configureLog(settings);
  ::testing::internal::CaptureStdout();
  writeLog("Import x fertig.");
  logMessage("RC: %ld", -1L);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Import x fertig.\nRC: -1\n");
  EXPECT_FALSE(fs::exists(log()));
}

TEST_F(LogTest, UnwritableLogGoesToStandardError) {
  fs::remove_all(dir / "log");
  ::testing::internal::CaptureStderr();
  logMessage("Fehler in Fkt. %s(). RC: %ld", "SQLOpenIDS", 1146L);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(kStampAndBlank), "Fehler in Fkt. SQLOpenIDS(). RC: 1146\n");
}

TEST_F(LogTest, LineEndsInsideAMessageCannotForgeALine) {
  logMessage("Schema:%s Lizenz:%s Mandant:%s", "T1\r\n2026-01-01 00:00:00 Import x fertig.", "L\n1", "M\r1");
  const std::string text = read(log());
  EXPECT_EQ(text.substr(kStampAndBlank),
            "Schema:T1  2026-01-01 00:00:00 Import x fertig. Lizenz:L 1 Mandant:M 1\n");
}
