// Badge master file IDN: end to end as a process, and its failures in-process.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/test_env.h"
#include "db/session.h"
#include "driver/driver.h"
#include "export/master/master.h"
#include "support/platform.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

struct Badge {
  std::string number, gvo, gbi, pnr;  // gvo/gbi: SQL expressions
  std::string mnd = "M1";
};

// The values of one expected line; fields that the tests do not vary are
// fixed by addBadge.
struct Expected {
  std::string number, from, until, pnr, name, bsvMap, costCentre, bsvKal;
  std::string licence = "L1", tenant = "M1";
};

std::string idnLine(const Expected& e) {
  return line({{e.number, 50}, {"STO", 8},    {e.from, 8},        {e.until, 8},
               {e.pnr, 8},     {e.name, 50},  {"DE", 5},          {"BK1", 5},
               {"4711", 32},   {"C1", 5},     {"G1", 5},          {e.licence, 5},
               {e.tenant, 5},  {"AT", 2},     {"AAN", 50},        {"MT", 2},
               {"SAL", 10},    {"", 5},       {"1", 5},           {"20260301061509", 14},
               {"admin", 50},  {e.bsvMap, 1}, {e.costCentre, 30}, {e.bsvKal, 3}});
}

class IdnTest : public WriterTest {
 protected:
  void addTenant(const std::string& licence, const std::string& number, const std::string& schema) {
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('" + licence + "', '" + number +
            "', '" + schema + "', 0)");
  }
  void addBadge(const Badge& b) {
    db.exec(
        "INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR, ASWBKL, ASWPIN, ASWGRP, ASWLIZ,"
        " ASWMND, ASWATP, ASWAAN, ASWSTA, ASWDAT, ASWERF) VALUES ('" +
        b.number + "', " + b.gvo + ", " + b.gbi + ", '" + b.pnr + "', 'BK1', '4711', 'G1', 'L1', '" + b.mnd +
        "', 'AT', 'AAN', '1', '2026-03-01 06:15:09', 'admin');"
        "INSERT INTO MVSYSTEM.MVS113AWV (AWVNUM, AWVSTO, AWVCOD) VALUES ('" +
        b.number + "', 'STO', 'C1')");
  }
  void addPerson(const std::string& schema, const std::string& pnr, const std::string& name) {
    db.exec("INSERT INTO " + schema + ".MVS300PNR (PNRNUM, PNRNAM, PNRSPR, PNRMTA, PNRSAL) VALUES ('" + pnr + "', " +
            name + ", 'DE', 'MT', 'SAL')");
  }
  void setRelease(const std::string& release) {
    db.exec("INSERT INTO MVSYSTEM.MVS110LIZ (LIZPRD, LIZVER) VALUES ('5817-002-01', '" + release + "')");
  }
  std::string today(int days) {
    return db.scalar("SELECT DATE_FORMAT(CURDATE() + INTERVAL " + std::to_string(days) + " DAY, '%Y%m%d')");
  }

  const std::string path = outPath("idstamm.imp");
};

}  // namespace

TEST_F(IdnTest, ValidBadgesOfEachTenantWithTheirBsvMapValue) {
  db.createTenantSchema("T1");
  db.createTenantSchema("T2");
  addTenant("L1", "M1", "T1");
  addTenant("L2", "M2", "T2");
  addBadge({"A-OPEN", "NOW() - INTERVAL 1 DAY", "NULL", "P1"});
  addBadge({"A-BOUNDED", "NOW() - INTERVAL 2 DAY", "NOW() + INTERVAL 3 DAY", "P2"});
  addBadge({"A-BOUNDED", "NOW() - INTERVAL 2 DAY", "NOW() + INTERVAL 3 DAY", "P2"});  // duplicate
  addBadge({"A-FUTURE", "NOW() + INTERVAL 1 HOUR", "NULL", "P1"});
  addBadge({"A-ENDED", "NOW() - INTERVAL 5 DAY", "NOW() - INTERVAL 1 HOUR", "P1"});
  addBadge({"B-OTHER", "NOW() - INTERVAL 1 DAY", "NULL", "Q1", "M2"});
  addBadge({"B-NOHOLDER", "NOW() - INTERVAL 1 DAY", "NULL", "Q9", "M2"});  // no person in T2
  addPerson("T1", "P1", "_latin1 0x4DFC6C6C6572");                         // bytes as stored
  addPerson("T1", "P2", "REPEAT('N', 60)");                                // cut to 50
  addPerson("T2", "Q1", "'Zoe'");
  db.exec(
      "INSERT INTO T1.Mvs310Bsv (BSVPNR, BSVMAP) VALUES ('P2', 3), ('P1', NULL);"
      "INSERT INTO T2.Mvs310Bsv (BSVPNR, BSVMAP) VALUES ('P1', 7)");  // another tenant's holder
  // No release recorded: the personnel master is not read, so it need not exist.
  db.exec("DROP TABLE T1.PERSONALSTAMM; DROP TABLE T2.PERSONALSTAMM");

  const auto result = runProgram(layout, {path, "IDN"});
  EXPECT_EQ(result.exitCode, 0);
  const std::string content = readFile(path);
  EXPECT_EQ(sortedLines(content),
            sortedLines(idnLine({"A-OPEN", today(-1), "", "P1", "M\xFCller", "0", "", ""}) +
                        idnLine({"A-BOUNDED", today(-2), today(3), "P2", std::string(50, 'N'), "3", "", ""}) +
                        idnLine({"B-OTHER", today(-1), "", "Q1", "Zoe", "0", "", "", "L1", "M2"})));
  EXPECT_EQ(content.size(), 3u * 369u);
  // The tenant's lines come before the next tenant's.
  EXPECT_EQ(content.substr(2 * 369, 7), "B-OTHER");
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M1",
                                      "Schema:T2 Lizenz:L2 Mandant:M2", "Import " + path + " fertig.",
                                      "Die Schnittstellendatei vom Dateityp 'IDN' wurde erstellt!"}));
}

// The cost-centre lookup follows the product release.
class IdnReleaseTest : public IdnTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(IdnReleaseTest, CostCentreAndBsvKalByRelease) {
  const std::string release = GetParam();
  setRelease("05.00");
  setRelease(release);
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ (LIZPRD, LIZVER) VALUES ('9999-001-01', '07.00')");  // other product
  db.createTenantSchema("T1");
  addTenant("L1", "M1", "T1");
  addBadge({"A1", "NOW() - INTERVAL 1 DAY", "NULL", "P''1"});  // a quote in the personnel number
  addBadge({"A2", "NOW() - INTERVAL 1 DAY", "NULL", "P2"});    // no personnel master row
  addBadge({"A3", "NOW() - INTERVAL 1 DAY", "NULL", "123456789"});
  addPerson("T1", "P''1", "'Quote'");
  addPerson("T1", "P2", "'Plain'");
  addPerson("T1", "123456789", "'Long'");
  addPerson("T1", "12345678", "'Short'");
  db.exec(
      "INSERT INTO T1.Mvs310Bsv (BSVPNR, BSVMAP) VALUES ('P''1', 4), ('123456789', 5), ('12345678', 6);"
      "INSERT INTO T1.PERSONALSTAMM (PSTPNRNUM, PSTZUOKST, PSTBSVKAL) VALUES"
      " ('P''1', 'KST 1 \t ', 'K7 '), ('123456789', 'LONG', NULL), ('12345678', 'SHORT', 'S')");

  EXPECT_EQ(runProgram(layout, {path, "IDN"}).exitCode, 0);
  const bool costCentre = release >= "05.40";
  const bool bsvKal = release >= "05.90";
  const std::string from = today(-1);
  // The line shows the first 8 characters of a longer personnel number; its
  // lookups still use the number as stored.
  EXPECT_EQ(sortedLines(readFile(path)),
            sortedLines(idnLine({"A1", from, "", "P'1", "Quote", "4", costCentre ? "KST 1" : "", bsvKal ? "K7" : ""}) +
                        idnLine({"A2", from, "", "P2", "Plain", "0", "", ""}) +
                        idnLine({"A3", from, "", "12345678", "Long", "5", costCentre ? "LONG" : "", ""})));
}

INSTANTIATE_TEST_SUITE_P(Releases, IdnReleaseTest, ::testing::Values("05.30", "05.40", "05.90"));

// Values are bytes with a length: a NUL inside a key is part of the key, and
// line ends or NULs inside a value do not break the record's one line.
TEST_F(IdnTest, NulBytesInKeysAndLineEndsInValues) {
  setRelease("05.40");
  db.createTenantSchema("T1");
  addTenant("L1", "7\\0X", "T1");
  addBadge({"B-OWN", "NOW() - INTERVAL 1 DAY", "NULL", "PN\\0Z", "7\\0X"});
  addBadge({"B-OTHER", "NOW() - INTERVAL 1 DAY", "NULL", "PN", "7"});  // another tenant's badge
  addPerson("T1", "PN\\0Z", "'Own\\r\\nName'");
  addPerson("T1", "PN", "'Other'");
  db.exec(
      "INSERT INTO T1.Mvs310Bsv (BSVPNR, BSVMAP) VALUES ('PN', 7), ('PN\\0Z', 3);"
      "INSERT INTO T1.PERSONALSTAMM (PSTPNRNUM, PSTZUOKST) VALUES ('PN', 'OTHER'), ('PN\\0Z', 'OWN')");

  EXPECT_EQ(runProgram(layout, {path, "IDN"}).exitCode, 0);
  EXPECT_EQ(readFile(path), idnLine({"B-OWN", today(-1), "", "PN Z", "Own  Name", "3", "OWN", "", "L1", "7 X"}));
}

// Failures, run in-process so that the pauses between attempts are not waited for.
namespace {

class IdnFailureTest : public IdnTest {
 protected:
  void SetUp() override {
    IdnTest::SetUp();
    env.onPause = [this](unsigned long ms) { attemptPauses += ms == 10000u ? 1 : 0; };
    layout.configure(env);
    db.createTenantSchema("T1");
    db.createTenantSchema("T2");
    addTenant("L1", "M1", "T1");
    addTenant("L2", "M2", "T2");
    addBadge({"A1", "NOW() - INTERVAL 1 DAY", "NULL", "P1"});
    addBadge({"B1", "NOW() - INTERVAL 1 DAY", "NULL", "Q1", "M2"});
    addPerson("T1", "P1", "'Anna'");
    addPerson("T2", "Q1", "'Zoe'");
  }
  // The writer alone, on a fresh session with this release.
  WriterResult runWriterAlone(double release) { return runWriterInProcess(layout, writeIdnFile, path, release); }
  ObservedEnv env;
  int attemptPauses = 0;
};

}  // namespace

TEST_F(IdnFailureTest, MissingPersonnelMasterFailsEveryAttemptAndKeepsThePreviousFile) {
  setRelease("05.40");
  db.exec("DROP TABLE T2.PERSONALSTAMM");
  writeFile(path, "yesterday's file\r\n");
  const char* argv[] = {"SSTRXV", path.c_str(), "IDN"};
  EXPECT_EQ(sstrxv::runProgram(3, argv, env), 99);
  EXPECT_EQ(attemptPauses, 4);
  EXPECT_EQ(readFile(path), "yesterday's file\r\n");  // not the first tenant's lines alone
  const auto log = layout.logMessages();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Fehler in Fkt. SQLReadKst(). RC: 1146"), 5);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Import " + path + " fehlgeschlagen."), 5);
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[3], "Fehler in Fkt. SQLReadKst(). RC: 1146");
  EXPECT_EQ(log.back(), "Die Schnittstellendatei vom Dateityp 'IDN' konnte nicht erstellt werden!");
}

TEST_F(IdnFailureTest, LookupAndCursorFailuresAreReportedUnderTheirNames) {
  // From 5.9 the combined lookup is named.
  db.exec("DROP TABLE T2.PERSONALSTAMM");
  EXPECT_EQ(runWriterAlone(5.9), WriterResult::kDbError);
  EXPECT_EQ(layout.logMessages().at(3), "Fehler in Fkt. SQLReadKstKal(). RC: 1146");

  // A failed BsvMap lookup is a failure of the badge fetch.
  db.exec("DROP TABLE T1.Mvs310Bsv");
  EXPECT_EQ(runWriterAlone(5.9), WriterResult::kDbError);
  EXPECT_EQ(readFile(path), "");
  auto log = layout.logMessages();
  EXPECT_EQ(log.at(log.size() - 2), "Fehler in Fkt. SQLFetchIDS(). RC: 1146");

  // A tenant without personnel table: the badge cursor does not open.
  db.exec("DROP TABLE T1.MVS300PNR");
  EXPECT_EQ(runWriterAlone(0.0), WriterResult::kDbError);
  log = layout.logMessages();
  EXPECT_EQ(log.at(log.size() - 2), "Fehler in Fkt. SQLOpenIDS(). RC: 1146");
  EXPECT_EQ(log.back(), "Import " + path + " fehlgeschlagen.");
}

// A personnel number that makes a lookup statement reach its length limit
// ends the run at once with exit code 1: no further message, no further
// attempt, and the previous file stays. Just below the limit the run goes on.
TEST_F(IdnFailureTest, LookupReachingTheStatementLimitEndsTheRunWithCode1) {
  db.exec(
      "ALTER TABLE MVSYSTEM.MVS301ASW MODIFY ASWPNR VARCHAR(2000) NULL;"
      "ALTER TABLE T2.MVS300PNR MODIFY PNRNUM VARCHAR(2000) NULL");
  struct RestoreWidth {
    TestDatabase& db;
    ~RestoreWidth() {
      db.exec("DELETE FROM MVSYSTEM.MVS301ASW; ALTER TABLE MVSYSTEM.MVS301ASW MODIFY ASWPNR VARCHAR(100) NULL");
    }
  } restore{db};
  struct Case {
    const char* what;
    std::size_t keyLength;
    const char* release;
    int exitCode;
  };
  // In schema T2 the BsvMap lookup has 68 characters besides the key, the
  // cost-centre lookup 63, the one with the calendar 74.
  const Case cases[] = {
      {"BsvMap lookup of the badge fetch", 1932, "05.00", 1},
      {"BsvMap lookup just below the limit", 1931, "05.00", 0},
      {"cost-centre and calendar lookup before the line", 1926, "05.90", 1},
      {"cost-centre lookup just below the limit", 1926, "05.40", 0},
  };
  for (const Case& c : cases) {
    const std::string key(c.keyLength, 'K');
    db.exec(
        "DELETE FROM MVSYSTEM.MVS110LIZ; DELETE FROM MVSYSTEM.MVS301ASW WHERE ASWNUM = 'B2';"
        "DELETE FROM MVSYSTEM.MVS113AWV WHERE AWVNUM = 'B2'; DELETE FROM T2.MVS300PNR WHERE PNRNUM <> 'Q1'");
    setRelease(c.release);
    addBadge({"B2", "NOW() - INTERVAL 1 DAY", "NULL", key, "M2"});
    addPerson("T2", key, "'Long'");
    writeFile(path, "yesterday's file\r\n");
    std::filesystem::remove(layout.logFile());

    const auto result = runProgram(layout, {path, "IDN"});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.what;
    if (c.exitCode != 1) continue;
    EXPECT_EQ(readFile(path), "yesterday's file\r\n") << c.what;
    EXPECT_EQ(layout.logMessages(),
              (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M1",
                                        "Schema:T2 Lizenz:L2 Mandant:M2"}))
        << c.what;
    const auto files =
        std::distance(std::filesystem::directory_iterator(layout.outDir()), std::filesystem::directory_iterator());
    EXPECT_EQ(files, 1) << c.what;  // nothing beside the previous file
  }
}
