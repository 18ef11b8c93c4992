#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../support/scratch_dir.h"
#include "tools/nagios_check.h"
#include "tools/run_metrics.h"

namespace sstrxv::test {
namespace {

namespace fs = std::filesystem;
using namespace monitoring;

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A metrics directory, a runtime directory and an output file of two lines.
class MonitoringTest : public ScratchDirTest {
 public:
  MonitoringTest() : ScratchDirTest("monitoring") {}
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directories(metrics);
    fs::create_directories(runtime);
    fs::create_directories(out);
    writeText(out / "IDN.imp", "a  x\r\nb  x\r\n");
  }
  void TearDown() override {
    fs::remove_all(dir.string() + ".real");
    fs::remove_all(victimDir);
    ScratchDirTest::TearDown();
  }

  MetricsResult finish(const RunEnd& end, Clock now = {kEpoch, kBoot}) {
    MetricsRun run{"IDN", (out / "IDN.imp").string(), metrics.string(), runtime.string(), end, now};
    std::string error;
    return writeRunMetrics(run, error);
  }
  // The samples of the metrics file by name; each has its HELP and TYPE
  // lines, a label set and a value, and no time stamp.
  std::map<std::string, std::string> samples() {
    std::map<std::string, std::string> found;
    const std::string text = readBytes(metricsFile);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("#")) continue;
      const std::string name = line.substr(0, line.find('{'));
      std::istringstream fields(line.substr(line.find('}') + 1));
      std::string value, more;
      fields >> value;
      EXPECT_FALSE(fields >> more) << line;
      EXPECT_NE(text.find("# TYPE " + name + " "), std::string::npos) << name;
      EXPECT_NE(text.find("# HELP " + name + " "), std::string::npos) << name;
      found[name] = value;
    }
    return found;
  }

  static constexpr double kEpoch = 1'800'000'000.25;
  static constexpr std::int64_t kBoot = 7'500'000'000;
  const fs::path top = dir;
  const fs::path metrics = dir / "node-exporter";
  const fs::path runtime = dir / "run";
  const fs::path out = dir / "out";
  const fs::path metricsFile = metrics / "sstrxv_IDN.prom";
  const fs::path victimDir = dir.string() + ".victim";
  const fs::path victim = victimDir / "file";
};

const RunEnd kSucceeded{"exited", "0", "success"};
const RunEnd kFailed99{"exited", "99", "exit-code"};

TEST_F(MonitoringTest, TheMetricsSayHowTheRunEndedAndKeepTheLastSuccess) {
  struct Case {
    const char* what;
    std::function<void(MonitoringTest&)> before;
    RunEnd end;
    std::map<std::string_view, std::string> expected;
  };
  const auto started = [](MonitoringTest& t) {
    std::string error;
    ASSERT_TRUE(recordRunStart(t.runtime.string(), {0, kBoot - 2'500'000'000}, error)) << error;
  };
  const auto succeededEarlier = [](MonitoringTest& t) { t.finish(kSucceeded, {1000, 0}); };
  const Case cases[] = {
      {"a success",
       started,
       kSucceeded,
       {{kExitCode.name, "0"},
        {kSuccess.name, "1"},
        {kRunEnd.name, "1800000000.250"},
        {kSuccessEnd.name, "1800000000.250"},
        {kDuration.name, "2.500"},
        {kLines.name, "2"},
        {kBytes.name, "12"}}},
      {"a failure keeps the success before it",
       succeededEarlier,
       kFailed99,
       {{kExitCode.name, "99"},
        {kSuccess.name, "0"},
        {kRunEnd.name, "1800000000.250"},
        {kSuccessEnd.name, "1000.000"},
        {kLines.name, "2"},
        {kBytes.name, "12"}}},
      {"a signal, no output file",
       [](MonitoringTest& t) { fs::remove(t.out / "IDN.imp"); },
       {"killed", "TERM", "timeout"},
       {{kExitCode.name, "143"}, {kSuccess.name, "0"}, {kRunEnd.name, "1800000000.250"}}},
      {"the program never ran",
       [](MonitoringTest&) {},
       {"", "", "resources"},
       {{kSuccess.name, "0"}, {kRunEnd.name, "1800000000.250"}, {kLines.name, "2"}, {kBytes.name, "12"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.before(*this);
    ASSERT_EQ(finish(c.end), MetricsResult::kWritten);
    EXPECT_EQ(samples(), (std::map<std::string, std::string>(c.expected.begin(), c.expected.end())));
  }
}

TEST_F(MonitoringTest, TheFileIsReplacedInOneRenameReadableByAll) {
  writeText(metricsFile, "old\n");
  const int before = ::open(metricsFile.c_str(), O_RDONLY);
  const mode_t mask = ::umask(077);
  EXPECT_EQ(finish(kSucceeded), MetricsResult::kWritten);
  ::umask(mask);
  EXPECT_EQ(readBytes("/proc/self/fd/" + std::to_string(before)), "old\n");
  ::close(before);
  EXPECT_FALSE(samples().empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(metrics), fs::directory_iterator()), 1);
  EXPECT_EQ(fs::status(metricsFile).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(MonitoringTest, NothingIsWrittenWithoutTheDirectoryOrForAnUnusableName) {
  fs::remove_all(metrics);
  EXPECT_EQ(finish(kSucceeded), MetricsResult::kNoDirectory);
  EXPECT_FALSE(fs::exists(metrics));
  fs::create_directories(metrics);
  for (const char* name : {"", "../IDN", "a/b", ".IDN", "ID N"}) {
    std::string error;
    EXPECT_EQ(writeRunMetrics({name, "IDN.imp", metrics.string(), "", kSucceeded, {}}, error), MetricsResult::kFailed)
        << name;
  }
  EXPECT_TRUE(fs::is_empty(metrics));
}

TEST_F(MonitoringTest, APlantedLinkIsNeverFollowed) {
  struct Case {
    const char* what;
    std::function<void(MonitoringTest&)> plant;
    MetricsResult result;
    bool linesCounted;
  };
  const Case cases[] = {
      {"a link at the metrics file", [](MonitoringTest& t) { fs::create_symlink(t.victim, t.metricsFile); },
       MetricsResult::kWritten, true},
      {"the metrics directory is a link",
       [](MonitoringTest& t) {
         fs::remove_all(t.metrics);
         fs::create_directory_symlink(t.victimDir, t.metrics);
       },
       MetricsResult::kFailed, true},
      {"a link on the way to the metrics directory",
       [](MonitoringTest& t) {
         fs::rename(t.top, t.top.string() + ".real");
         fs::create_directory_symlink(t.top.string() + ".real", t.top);
       },
       MetricsResult::kFailed, false},
      {"a link at the output file",
       [](MonitoringTest& t) {
         fs::remove(t.out / "IDN.imp");
         fs::create_symlink(t.victim, t.out / "IDN.imp");
       },
       MetricsResult::kWritten, false},
      {"a FIFO at the output file",
       [](MonitoringTest& t) {
         fs::remove(t.out / "IDN.imp");
         ASSERT_EQ(::mkfifo((t.out / "IDN.imp").c_str(), 0600), 0);
       },
       MetricsResult::kWritten, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    fs::create_directories(victimDir);
    const std::string planted = std::string(kSuccessEnd.name) + "{unit=\"sstrxv@IDN.service\"} 77\n";
    writeText(victim, planted);
    c.plant(*this);
    EXPECT_EQ(finish(kFailed99), c.result);
    EXPECT_EQ(readBytes(victim), planted);
    EXPECT_EQ(std::distance(fs::directory_iterator(victimDir), fs::directory_iterator()), 1);
    if (c.result == MetricsResult::kWritten) {
      const std::map<std::string, std::string> got = samples();
      EXPECT_FALSE(fs::is_symlink(metricsFile));
      EXPECT_EQ(got.count(std::string(kSuccessEnd.name)), 0U);
      EXPECT_EQ(got.count(std::string(kLines.name)), c.linesCounted ? 1U : 0U);
    }
  }
}

// The check for Nagios and Icinga at a fixed time, on files of given ages.
class NagiosCheckTest : public MonitoringTest {
 protected:
  static constexpr std::int64_t kNow = 1'800'000'000;
  void age(const std::string& name, std::int64_t seconds) {
    writeText(out / name, "1x\r\n2x\r\n3x\r\n");
    const timespec times[2] = {{kNow - seconds, 0}, {kNow - seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (out / name).c_str(), times, 0), 0);
  }
  // The options, then the output directory and the names; no names: no directory either.
  int check(std::vector<std::string> arguments, const std::vector<std::string>& names, std::string& output) {
    if (!names.empty()) arguments.push_back(out.string());
    arguments.insert(arguments.end(), names.begin(), names.end());
    const std::vector<std::string_view> views(arguments.begin(), arguments.end());
    return checkInterfaceFiles(views, kNow, output);
  }
};

TEST_F(NagiosCheckTest, TheExitCodeIsTheWorstStateOfTheFiles) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> names;
    int code;
  };
  const Case cases[] = {
      {{"-w", "26h", "-c", "50h"}, {"IDN", "KST"}, kNagiosOk},
      {{"-w", "26h", "-c", "50h"}, {"IDN", "KST", "sld"}, kNagiosWarning},
      {{"--warning=26h", "--critical", "200000"}, {"SLD"}, kNagiosWarning},
      {{"-w", "~:1d", "-c", "2d:"}, {"BKL"}, kNagiosWarning},
      {{"-w26h", "-c50h"}, {"IDN", "20P"}, kNagiosCritical},
      {{"-w", "26h", "-c", "50h"}, {"IDN", "FTG"}, kNagiosCritical},
      {{"-w", "26h", "-c", "50h"}, {"IDN", "MST"}, kNagiosCritical},
      {{"-w", "26h", "-c", "@0:10m"}, {"KST"}, kNagiosCritical},
      {{"-w", "26h"}, {"IDN"}, kNagiosUnknown},
      {{"-w", "26h", "-c", "50x"}, {"IDN"}, kNagiosUnknown},
      {{"-w", "2d:1d", "-c", "50h"}, {"IDN"}, kNagiosUnknown},
      {{"-w", "26h", "-c", "50h", "-t", "0"}, {"IDN"}, kNagiosUnknown},
      {{"-w", "26h", "-c", "50h", "--verbose"}, {"IDN"}, kNagiosUnknown},
      {{"-w", "26h", "-c", "50h"}, {"XYZ"}, kNagiosUnknown},
      {{"-w", "26h", "-c", "50h"}, {"../IDN"}, kNagiosUnknown},
      {{"-w", "26h", "-c", "50h"}, {}, kNagiosUnknown},
      {{"--help"}, {"IDN"}, kNagiosUnknown},
  };
  age("IDN.imp", 3600);
  age("KST.imp", 300);
  age("BKL.imp", 2 * 86400 + 1);
  age("sld.imp", 30 * 3600);
  age("SLD.imp", 30 * 3600);
  age("20P.imp", 60 * 3600);
  fs::create_symlink(out / "IDN.imp", out / "MST.imp");
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(check(c.options, c.names, output), c.code) << output;
    if (c.code != kNagiosUnknown) {
      EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    }
  }
}

TEST_F(NagiosCheckTest, ThePerformanceDataHoldTheAgeAndLinesOfEachFile) {
  age("IDN.imp", 3600);
  age("BKL.imp", 120);
  std::string output;
  ASSERT_EQ(check({"-w", "26h", "-c", "50h"}, {"IDN", "BKL", "FTG"}, output), kNagiosCritical);
  std::string values;  // each item without its thresholds, in the order of the arguments
  std::istringstream data(output.substr(output.find('|') + 1));
  for (std::string item; data >> item;) values += item.substr(0, item.find(';')) + " ";
  EXPECT_EQ(values, "IDN_age=3600s IDN_lines=3 BKL_age=120s BKL_lines=3 FTG_age=U FTG_lines=U ");
}

}  // namespace
}  // namespace sstrxv::test
