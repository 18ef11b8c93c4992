#include "tools/site_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "export/file_types.h"

namespace sstrxv::test {
namespace {

namespace fs = std::filesystem;

// The types whose writers walk the tenants, in the order of the table.
const std::vector<std::string> kWalkingTypes = {"IDN", "SLD", "KST", "FTG", "MST", "MDT", "FCD"};

// A user with exactly the privileges the README names.
constexpr const char* kSiteUser = "sstrxv_site";

class SiteCheckTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    const std::string user = std::string(kSiteUser) + "@localhost";
    db.exec("DROP USER IF EXISTS " + user + "; CREATE USER " + user + " IDENTIFIED BY '" + kProgramPassword +
            "'; GRANT SELECT ON MVSYSTEM.* TO " + user + "; GRANT EXECUTE ON FUNCTION MVSYSTEM.getdate TO " + user +
            "; GRANT EXECUTE ON FUNCTION MVSYSTEM.DAS TO " + user);
    layout.writeSettings("", kSiteUser, kProgramPassword);
  }
  void TearDown() override { db.exec(std::string("DROP USER IF EXISTS ") + kSiteUser + "@localhost"); }
  // Runs the check with the layout's paths; the report's lines, the paths
  // shown as in the layout's working directory.
  std::vector<std::string> check(const std::string& outputDirectory, int& code) {
    Env env;
    layout.configure(env);
    std::string report;
    code = checkSite(env, outputDirectory, report);
    report = layout.relative(report);
    EXPECT_EQ(report.find(kProgramPassword), std::string::npos) << report;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(report.substr(start, end - start));
    }
    return lines;
  }
  // A tenant whose schema the site user may read (when there is one).
  void addTenant(const std::string& schema, const std::string& location, bool withSchema = true) {
    if (withSchema) {
      db.createTenantSchema(schema);
      db.exec("GRANT SELECT ON `" + schema + "`.* TO " + kSiteUser + "@localhost");
    }
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('00001', '00010', '" +
            schema + "', '" + location + "', 0)");
  }
};

TEST_F(SiteCheckTest, AGoodSitePassesEveryCheckWithoutWritingAnything) {
  addTenant("T1", "1");
  // More rows than the statements, for a type inside and one outside the
  // tenant walk: each statement delivers at most one.
  const std::string numbers = "WITH RECURSIVE n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 300) ";
  db.exec("INSERT INTO T1.MVs131Fcd (FCDNUM, FCDKRT) " + numbers + "SELECT i, 'K' FROM n");
  db.exec("INSERT INTO MVSYSTEM.MVS301BKL (BKLASW, BKLBKL, BKLGVO) " + numbers + "SELECT i, 'K', '2000-01-01' FROM n");
  const std::string rowsBefore = db.scalar(
      "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE "
      "VARIABLE_NAME = 'ROWS_SENT'");
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('5817-002-1', '05.90')");
  writeFile(layout.workDir() / "SaldoRXV.ini", "F02=UVJ,ULJ\r\nT02=Urlaub\r\n");
  int code = -1;
  const std::vector<std::string> lines = check(layout.outDir().string(), code);
  const long rowsSent = std::stol(db.scalar("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE "
                                            "VARIABLE_NAME = 'ROWS_SENT'")) -
                        std::stol(rowsBefore);
  EXPECT_LT(rowsSent, 100);
  EXPECT_EQ(code, kSiteCheckPassed);
  std::vector<std::string> typeLines;
  for (const FileTypeEntry& type : fileTypes()) {
    const bool walks = std::find(kWalkingTypes.begin(), kWalkingTypes.end(), type.code) != kWalkingTypes.end();
    typeLines.push_back("OK    file type " + std::string(type.code) + ": statements accepted" +
                        (walks ? " for 1 tenant" : ""));
  }
  std::vector<std::string> expected = {
      "OK    settings file ../../Files/Melvarion.Ini: readable",
      "OK    NET8: found, empty: the local server",
      "OK    LOGIN: found, user sstrxv_site",
      "OK    PASS: found, set, 13 characters",
      "OK    connection: connected to MVSYSTEM on the local server",
      "OK    product release: 5.90 (badge file with cost centre and calendar)",
      "OK    tenant schema T1, licence 00001, tenant 00010: plain identifier",
  };
  expected.insert(expected.end(), typeLines.begin(), typeLines.end());
  expected.insert(expected.end(), {
                                      "OK    log directory ../../Melvarion_php/log: writable",
                                      "OK    output directory " + layout.outDir().string() + ": writable",
                                      "OK    SaldoRXV.ini: 1 display slots: F02",
                                      "OK    premium file ../../transfer/QORV/PraemienQORV.txt: missing (looked for " +
                                          (layout.root() / "transfer/QORV/PraemienQORV.txt").string() +
                                          "), not needed: no tenant at location 42381",
                                      formatText("%zu checks, 0 failed", 11 + typeLines.size()),
                                  });
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(fs::exists(layout.logFile()));
  EXPECT_TRUE(fs::is_empty(layout.outDir()));

  // A premium file's heading and blank lines are no personnel numbers.
  fs::create_directories(layout.root() / "transfer" / "QORV");
  writeFile(layout.root() / "transfer" / "QORV" / "PraemienQORV.txt", "Pnr ZG ZK\r\n0001 1.5 2\r\n\r\n0002 3 4\r\n");
  EXPECT_EQ(check(layout.outDir().string(), code).at(lines.size() - 2),
            "OK    premium file ../../transfer/QORV/PraemienQORV.txt: 4 lines, 2 personnel numbers");
}

// The line as an expectation ending in "*" sees it: matched up to the "*",
// the rest (the server's or client library's text) as "*".
std::string wildcarded(const std::string& line, const std::string& expectation) {
  if (!expectation.ends_with('*')) return line;
  const std::size_t fixed = expectation.size() - 1;
  return line.compare(0, fixed, expectation, 0, fixed) == 0 ? line.substr(0, fixed) + "*" : line;
}

// The failure lines of the file types that walk the tenants, at one tenant;
// a reason ending in "*" is matched up to it.
std::vector<std::string> walkFailures(const std::string& tenant, const std::string& reason) {
  std::vector<std::string> lines;
  for (const std::string& code : kWalkingTypes)
    lines.push_back("FAIL  file type " + code + ", " + tenant + ": " + reason);
  return lines;
}

template <typename... Lists>
std::vector<std::string> joined(std::vector<std::string> first, const Lists&... rest) {
  (first.insert(first.end(), rest.begin(), rest.end()), ...);
  return first;
}

// Without a connection, what needs the database is not checked.
const std::vector<std::string> kNotChecked = {
    "FAIL  product release: not checked: no connection", "FAIL  tenants: not checked: no connection",
    "FAIL  file types: not checked: no connection",
    "FAIL  premium file ../../transfer/QORV/PraemienQORV.txt: missing (looked for "
    "ROOT/transfer/QORV/PraemienQORV.txt): whether a tenant needs it is not checked: no connection"};

const std::string kTenant1 = "tenant schema T1, licence 00001, tenant 00010";

// Each broken set-up fails its own check with the reason, and the run.
TEST_F(SiteCheckTest, EachFaultFailsItsCheckWithTheReason) {
  struct Case {
    const char* name;
    std::function<void()> breakIt;
    std::string outputDirectory;  // relative to the root; empty: the output directory
    std::vector<std::string> failures;
  };
  const std::vector<Case> cases = {
      {"wrong password", [this] { layout.writeSettings("", kSiteUser, "wrong"); }, "",
       joined({"FAIL  connection: error 1045: Access denied for user*"}, kNotChecked)},
      {"no server at the host: the client library's own text",
       [this] { layout.writeSettings("127.0.0.1", kSiteUser, kProgramPassword); }, "",
       joined({"FAIL  connection: error 2002: Can't connect to server on '127.0.0.1'*"}, kNotChecked)},
      {"missing settings file", [this] { fs::remove(layout.root() / "Files" / "Melvarion.Ini"); }, "",
       joined({"FAIL  settings file ../../Files/Melvarion.Ini: missing (looked for ROOT/Files/Melvarion.Ini)",
               "FAIL  connection: not tried: no user"},
              kNotChecked)},
      {"no user, no password", [this] { layout.writeSettingsText(";Datenbank;\r\n1;NET8;\r\n"); }, "",
       joined({"FAIL  LOGIN: not found: the program does not connect without a user", "FAIL  PASS: not found",
               "FAIL  connection: not tried: no user"},
              kNotChecked)},
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
         addTenant("T-1", "1", false);
         addTenant("T2", "1");
       },
       "",
       joined({"FAIL  tenant schema T-1, licence 00001, tenant 00010: not a plain identifier: the tenant walk stops "
               "here",
               "FAIL  tenant schema T2, licence 00001, tenant 00010: not reached: the tenant walk stops at an "
               "earlier tenant"},
              walkFailures("tenant schema T-1, licence 00001, tenant 00010", "the run logs *"))},
      {"SELECT not granted on one tenant schema",
       [this] {
         addTenant("T1", "1");
         addTenant("T2", "1");
         db.exec(std::string("REVOKE SELECT ON T2.* FROM ") + kSiteUser + "@localhost");
       },
       "", walkFailures("tenant schema T2, licence 00001, tenant 00010", "error 1142: SELECT command denied to user*")},
      {"EXECUTE not granted on the functions",
       [this] {
         addTenant("T1", "1");
         for (const char* function : {"getdate", "DAS"}) {
           db.exec(std::string("REVOKE EXECUTE ON FUNCTION MVSYSTEM.") + function + " FROM " + kSiteUser +
                   "@localhost");
         }
       },
       "",
       {"FAIL  file type MST, " + kTenant1 + ": error 1370: execute command denied to user*",
        "FAIL  file type MDT, " + kTenant1 + ": error 1370: execute command denied to user*"}},
      {"a missing table",
       [this] {
         addTenant("T1", "1");
         db.exec("DROP TABLE T1.O1003KstStelle");
       },
       "",
       {"FAIL  file type KST, " + kTenant1 + ": error 1146: Table*"}},
      {"premium file missing for a tenant at its location",
       [this] { addTenant("T1", "42381"); },
       "",
       {"FAIL  premium file ../../transfer/QORV/PraemienQORV.txt: missing (looked for "
        "ROOT/transfer/QORV/PraemienQORV.txt): the tenants at location 42381 get no premium texts"}},
      {"slot outside F01 to F10, and a directory as premium file",
       [this] {
         writeFile(layout.workDir() / "SaldoRXV.ini", "F11=UVJ\r\nF01=UVJ\r\n");
         fs::create_directories(layout.root() / "transfer" / "QORV" / "PraemienQORV.txt");
       },
       "",
       {"FAIL  SaldoRXV.ini: slots outside F01 to F10, never shown: F11",
        "FAIL  premium file ../../transfer/QORV/PraemienQORV.txt: cannot be read: not a regular file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.breakIt();
    const fs::path out = c.outputDirectory.empty() ? layout.outDir() : layout.root() / c.outputDirectory;
    int code = -1;
    const std::vector<std::string> lines = check(out.string(), code);
    EXPECT_EQ(code, kSiteCheckFailed);
    std::vector<std::string> expected;
    for (std::string failure : c.failures) {
      if (const auto at = failure.find("ROOT"); at != std::string::npos) failure.replace(at, 4, layout.root().string());
      expected.push_back(failure);
    }
    std::vector<std::string> failures;
    for (const std::string& l : lines) {
      if (!l.starts_with("FAIL")) continue;
      std::string matched = l;
      if (failures.size() < expected.size()) matched = wildcarded(l, expected[failures.size()]);
      failures.push_back(matched);
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
