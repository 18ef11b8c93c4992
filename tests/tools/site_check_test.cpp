#include "tools/site_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/test_env.h"

namespace sstrxv::test {
namespace {

namespace fs = std::filesystem;

class SiteCheckTest : public WriterTest {
 protected:
  // Runs the check in the layout's working directory; the report's lines.
  std::vector<std::string> check(const std::string& outputDirectory, int& code) {
    layout.enter();
    std::string report;
    code = checkSite(outputDirectory, report);
    EXPECT_EQ(report.find(kProgramPassword), std::string::npos) << report;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(report.substr(start, end - start));
    }
    return lines;
  }
  void addTenant(const std::string& schema, const std::string& location) {
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('00001', '00010', '" +
            schema + "', '" + location + "', 0)");
  }
};

TEST_F(SiteCheckTest, AGoodSitePassesEveryCheckWithoutWritingAnything) {
  addTenant("T1", "1");
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('5817-002-1', '05.90')");
  writeFile(layout.workDir() / "SaldoRXV.ini", "F02=UVJ,ULJ\r\nT02=Urlaub\r\n");
  int code = -1;
  const std::vector<std::string> lines = check(layout.outDir().string(), code);
  EXPECT_EQ(code, kSiteCheckPassed);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "OK    settings file ..\\..\\Files\\Melvarion.Ini: readable",
                       "OK    NET8: found, empty: the local server",
                       "OK    LOGIN: found, user sstrxv",
                       "OK    PASS: found, set, 13 characters",
                       "OK    connection: connected to MVSYSTEM on the local server",
                       "OK    product release: 5.90 (badge file with cost centre and calendar)",
                       "OK    tenant schema T1, licence 00001, tenant 00010: plain identifier",
                       "OK    log directory ../../Melvarion_php/log: writable",
                       "OK    output directory " + layout.outDir().string() + ": writable",
                       "OK    SaldoRXV.ini: 1 display slots: F02",
                       "OK    premium file ..\\..\\transfer\\QORV\\PraemienQORV.txt: missing, not needed: no tenant "
                       "at location 42381",
                       "11 checks, 0 failed",
                   }));
  EXPECT_FALSE(fs::exists(layout.logFile()));
  EXPECT_TRUE(fs::is_empty(layout.outDir()));
}

// Each broken set-up fails its own check with the reason, and the run.
TEST_F(SiteCheckTest, EachFaultFailsItsCheckWithTheReason) {
  struct Case {
    const char* name;
    std::function<void()> breakIt;
    std::string outputDirectory;  // relative to the root; empty: the output directory
    std::vector<std::string> failures;
  };
  const std::vector<Case> cases = {
      {"wrong password",
       [this] { layout.writeSettings("", kProgramUser, "wrong"); },
       "",
       {"FAIL  connection: error 1045: access denied: user or password wrong"}},
      {"missing settings file",
       [this] { fs::remove(layout.root() / "Files" / "Melvarion.Ini"); },
       "",
       {"FAIL  settings file ..\\..\\Files\\Melvarion.Ini: missing", "FAIL  connection: not tried: no user"}},
      {"no user, no password",
       [this] { layout.writeSettingsText(";Datenbank;\r\n1;NET8;\r\n"); },
       "",
       {"FAIL  LOGIN: not found: the program does not connect without a user", "FAIL  PASS: not found",
        "FAIL  connection: not tried: no user"}},
      {"output directory below a regular file",
       [this] { writeFile(layout.outDir() / "file", ""); },
       "out/file/sub",
       {"FAIL  output directory ROOT/out/file/sub: not writable: Not a directory"}},
      {"output directory through a link that another user planted",
       [this] {
         fs::create_symlink(layout.root() / "Files", layout.outDir() / "planted");
         ASSERT_TRUE(::geteuid() != 0 || ::lchown((layout.outDir() / "planted").c_str(), 65534, 65534) == 0);
       },
       "out/planted",
       {"FAIL  output directory ROOT/out/planted: not writable: unsafe: " + (layout.outDir() / "planted").string() +
        " (owner " + std::to_string(::geteuid() == 0 ? 65534 : ::geteuid()) + ") leads to / (owner 0)"}},
      {"log directory missing",
       [this] { fs::remove_all(layout.root() / "Melvarion_php"); },
       "",
       {"FAIL  log directory ../../Melvarion_php/log: not writable: No such file or directory"}},
      {"schema name that the tenant walk refuses, and a tenant after it",
       [this] {
         addTenant("T-1", "1");
         addTenant("T2", "1");
       },
       "",
       {"FAIL  tenant schema T-1, licence 00001, tenant 00010: not a plain identifier: the tenant walk stops here",
        "FAIL  tenant schema T2, licence 00001, tenant 00010: not reached: the tenant walk stops at an earlier "
        "tenant"}},
      {"premium file missing for a tenant at its location",
       [this] { addTenant("T1", "42381"); },
       "",
       {"FAIL  premium file ..\\..\\transfer\\QORV\\PraemienQORV.txt: missing: the tenants at location 42381 get "
        "no premium texts"}},
      {"slot outside F01 to F10, and a directory as premium file",
       [this] {
         writeFile(layout.workDir() / "SaldoRXV.ini", "F11=UVJ\r\nF01=UVJ\r\n");
         fs::create_directories(layout.root() / "transfer" / "QORV" / "PraemienQORV.txt");
       },
       "",
       {"FAIL  SaldoRXV.ini: slots outside F01 to F10, never shown: F11",
        "FAIL  premium file ..\\..\\transfer\\QORV\\PraemienQORV.txt: cannot be read: not a regular file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.breakIt();
    const fs::path out = c.outputDirectory.empty() ? layout.outDir() : layout.root() / c.outputDirectory;
    int code = -1;
    const std::vector<std::string> lines = check(out.string(), code);
    EXPECT_EQ(code, kSiteCheckFailed);
    std::vector<std::string> failures;
    for (const std::string& l : lines) {
      if (l.starts_with("FAIL")) failures.push_back(l);
    }
    std::vector<std::string> expected;
    for (std::string failure : c.failures) {
      if (const auto at = failure.find("ROOT"); at != std::string::npos) failure.replace(at, 4, layout.root().string());
      expected.push_back(failure);
    }
    EXPECT_EQ(failures, expected);
    EXPECT_EQ(lines.back(), formatText("%zu checks, %zu failed", lines.size() - 1, expected.size()));
    // The layout is made afresh for the next case.
    fs::remove_all(layout.root() / "transfer");
    fs::remove(layout.workDir() / "SaldoRXV.ini");
    fs::create_directories(layout.root() / "Melvarion_php" / "log");
    fs::remove_all(layout.outDir());
    fs::create_directories(layout.outDir());
  }
}

}  // namespace
}  // namespace sstrxv::test
