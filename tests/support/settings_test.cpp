#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/cipher.h"
#include "support/settings.h"

using namespace sstrxv;
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
