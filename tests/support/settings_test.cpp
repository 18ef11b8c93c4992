#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "scratch_dir.h"
#include "support/cipher.h"
#include "support/settings.h"

using namespace sstrxv;
using sstrxv::test::readBytes;
namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = fs::temp_directory_path() / ("sstrxv-settings-" + std::to_string(::getpid()) + ".ini");
  }
  void TearDown() override { fs::remove(path); }

  void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  std::string lookup(const std::string& key) {
    last = readSetting("", key, 0, path.string());
    return std::string(last.settingValue.view());
  }
  static std::string record(const std::string& line1, const std::string& number, const std::string& key,
                            const std::string& plain, const std::string& end = "\r\n") {
    return line1 + end + number + ";" + key + ";" + encryptText(plain, kSettingsKey) + end;
  }

  fs::path path;
  SettingResult last;  // of the latest lookup
};

}  // namespace

TEST_F(SettingsTest, FindsTheFirstRecordWithTheKey) {
  write(record(";DB;", "1", "NET8", "dbhost") + record(";DB;", "2", "LOGIN", "user") +
        record(";DB;", "3", "LOGIN", "second"));
  EXPECT_EQ(lookup("NET8"), "dbhost");
  EXPECT_EQ(lookup("LOGIN"), "user");
  EXPECT_EQ(last.settingNumber, 2);
  EXPECT_EQ(last.settingSection.view(), "DB");
  EXPECT_EQ(last.settingKey.view(), "LOGIN");

  EXPECT_EQ(lookup("login"), "");  // keys are compared case-sensitively
  EXPECT_EQ(lookup("PASS"), "");
  EXPECT_EQ(last.settingNumber, 0);
  EXPECT_TRUE(last.settingKey.empty());
}

TEST_F(SettingsTest, LineFeedOnlyFilesAndAMissingLastLineFeed) {
  write(record(";DB;", "1", "NET8", "h", "\n") + ";DB;\n2;PASS;" + encryptText("secret", kSettingsKey));
  EXPECT_EQ(lookup("NET8"), "h");
  EXPECT_EQ(lookup("PASS"), "secret");
}

TEST_F(SettingsTest, RecordsAheadOfTheKeyDoNotCaptureTheLookup) {
  // Entry number 0, an empty section and a record without separators all
  // stand before the wanted key; none of them matches a lookup by key.
  write(record(";DB;", "0", "OTHER", "zero") + record("no separators", "5", "X", "x") + record(";;", "6", "Y", "y") +
        "garbage line\r\nwithout any fields\r\n" + record(";DB;", "7", "PASS", "found"));
  EXPECT_EQ(lookup("PASS"), "found");
  EXPECT_EQ(last.settingNumber, 7);
}

TEST_F(SettingsTest, OddLastLineAndMissingFile) {
  write(record(";DB;", "1", "NET8", "h") + ";DB;\r\n");
  EXPECT_EQ(lookup("NET8"), "h");
  fs::remove(path);
  EXPECT_EQ(lookup("NET8"), "");
}

TEST_F(SettingsTest, SectionAndNumberAreCriteriaOnlyWhenGiven) {
  write(record(";Alpha;", "1", "A", "first") + record(";Beta;", "2", "B", "second"));
  EXPECT_EQ(readSetting("Beta", "", 0, path.string()).settingValue.view(), "second");
  EXPECT_EQ(readSetting("", "", 1, path.string()).settingValue.view(), "first");
  // nothing given: nothing matches
  EXPECT_TRUE(readSetting("", "", 0, path.string()).settingValue.empty());
}

namespace {

const Credentials kNew = {"dbhost", "exporter", "pass;word"};

// The records alone, as the code writes them into an empty file.
std::string newRecords() { return withCredentials("", kNew); }

}  // namespace

TEST_F(SettingsTest, TheConnectionRecordsReadBackWithCrLfLineEnds) {
  const std::string records = newRecords();
  EXPECT_EQ(readSettingFromText("", "NET8", 0, records).settingValue.view(), kNew.host);
  EXPECT_EQ(readSettingFromText("", "LOGIN", 0, records).settingValue.view(), kNew.user);
  EXPECT_EQ(readSettingFromText("", "PASS", 0, records).settingValue.view(), kNew.password);
  std::size_t lines = 0;
  for (std::size_t end = 0; (end = records.find('\n', end)) != std::string::npos; ++end, ++lines) {
    EXPECT_EQ(records[end - 1], '\r') << records;
  }
  EXPECT_EQ(lines, 6U);
}

// Every other line stays byte for byte; earlier connection records give way
// to the new ones (shown as R in the expectations).
TEST_F(SettingsTest, WritingTheRecordsKeepsTheOtherLinesAndReplacesTheOldOnes) {
  const std::string old = record(";Datenbank;", "1", "NET8", "old") + record(";Datenbank;", "2", "LOGIN", "old");
  const std::string other = record(";Dialog;", "4", "Farbe", "blau", "\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "R"},
      {other, other + "R"},
      {other + ";Dialog;\n5;Zeile;ohne Ende", other + ";Dialog;\n5;Zeile;ohne Ende\r\nR"},
      {other + old + other, other + "R" + other},
      {record(";Anders;", "9", "PASS", "old") + other + old, "R" + other},
      {other + "unpaired\r\n", "R" + other + "unpaired\r\n"},
      {old + "unpaired", "Runpaired"},
  };
  for (const auto& [before, expected] : cases) {
    std::string wanted = expected;
    wanted.replace(wanted.find('R'), 1, newRecords());
    EXPECT_EQ(withCredentials(before, kNew), wanted) << before;
  }
}

// The file is replaced whole with its owner and mode; a link or a second name
// at the path is refused and leaves everything as it was.
TEST_F(SettingsTest, WritingTheFileKeepsItsModeAndNeverGoesThroughALink) {
  const fs::path target = path.string() + ".target";
  struct Case {
    const char* name;
    std::function<void()> prepare;
    CredentialsWrite result;
    fs::perms mode;  // of the file at the path afterwards
  };
  const std::vector<Case> cases = {
      {"missing file", [] {}, CredentialsWrite::kWritten, fs::perms::owner_read | fs::perms::owner_write},
      {"file of mode 0640",
       [&] {
         write("x\r\ny\r\n");
         fs::permissions(path, fs::perms(0640));
       },
       CredentialsWrite::kWritten, fs::perms(0640)},
      {"symbolic link", [&] { fs::create_symlink(target, path); }, CredentialsWrite::kNotPlainFile, fs::perms::none},
      {"second name", [&] { fs::create_hard_link(target, path); }, CredentialsWrite::kNotPlainFile, fs::perms(0604)},
      {"directory", [&] { fs::create_directory(path); }, CredentialsWrite::kNotPlainFile, fs::perms::none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path);
    std::ofstream(target, std::ios::binary) << "target\n";
    fs::permissions(target, fs::perms(0604));
    c.prepare();
    EXPECT_EQ(writeCredentials(path.string(), kNew), c.result);
    EXPECT_EQ(readBytes(target), "target\n");
    if (c.result == CredentialsWrite::kWritten) {
      EXPECT_EQ(fs::status(path).permissions(), c.mode);
      EXPECT_EQ(lookup("PASS"), kNew.password);
      EXPECT_EQ(fs::hard_link_count(path), 1U);
    } else if (c.mode != fs::perms::none) {
      EXPECT_EQ(fs::status(path).permissions(), c.mode);
    }
  }
  fs::remove_all(path);
  fs::remove(target);
}
