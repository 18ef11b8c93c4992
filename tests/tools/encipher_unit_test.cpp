#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/scratch_dir.h"
#include "support/settings.h"

namespace sstrxv::test {
namespace {

namespace fs = std::filesystem;

class EncipherSettingsTest : public ScratchDirTest {
 protected:
  EncipherSettingsTest() : ScratchDirTest("encipher") {}
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directories(dir / "bin" / "run");
    fs::create_directories(dir / "Files");
  }
  // Runs sstrxv-encipher in the working directory with this standard input; its exit code.
  int run(const std::vector<std::string>& args, const std::string& input) const {
    std::string command =
        "cd '" + (dir / "bin" / "run").string() + "' && printf '%s' '" + input + "' | '" + SSTRXV_ENCIPHER + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path settingsFile() const { return dir / "Files" / "Melvarion.Ini"; }
};

// The password comes from standard input, never from the arguments; a
// command that writes nothing leaves the file as it was.
TEST_F(EncipherSettingsTest, ThePasswordIsReadNeverTakenFromTheArguments) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    bool written;
  };
  const std::vector<Case> cases = {
      {{"--settings", "dbhost", "exporter"}, "pass word\n", 0, true},
      {{"--settings", "dbhost", "exporter"}, "pass word\r\nsecond line\n", 0, true},
      {{"--settings", "dbhost", "exporter", "pass word"}, "", 2, false},
      {{"--settings", "dbhost", "exporter"}, "", 1, false},
  };
  const std::string before = ";Dialog;\r\n4;Farbe;0011\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size());
    { std::ofstream(settingsFile(), std::ios::binary) << before; }
    EXPECT_EQ(run(c.args, c.input), c.exitCode);
    const std::string after = readBytes(settingsFile());
    if (!c.written) {
      EXPECT_EQ(after, before);
      continue;
    }
    EXPECT_EQ(after, withCredentials(before, {"dbhost", "exporter", "pass word"}));
  }
}

}  // namespace
}  // namespace sstrxv::test
