// Employee status files MST, MDT and FCD, end to end as a process, and their
// failures in-process. Two tenants: T1 with a quote in its tenant number
// (the key of persons without badge) and T2.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_env.h"
#include "export/status/status.h"

using namespace sstrxv;
using namespace sstrxv::test;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

// Function codes of T1: every period uses 1, whose text is longer than the
// 33 columns of the status files; 2 to 4 have a NULL, blank or empty short
// text, so their periods are left out.
const std::string kText = "Fortbildung au\xDF" "er Haus und Reisezeiten";
const std::string kCodes =
    "(1, 'U', CONCAT('Fortbildung au', _latin1 0xDF, 'er Haus und Reisezeiten'), 'A', NULL),"
    " (2, NULL, 'x', 'A', NULL), (3, ' ', 'x', 'A', NULL), (4, '', 'x', 'A', NULL)";

class StatusFilesTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    db.createTenantSchema("T1");
    db.createTenantSchema("T2");
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES"
            " ('L1', 'M''1', 'T1', 0), ('L2', 'M2', 'T2', 0);"
            "INSERT INTO T1.MVs131Fcd VALUES " + kCodes);
  }
  // A person of T1 with department D1 from 2020 on, and a badge unless it is empty.
  void addPerson(const std::string& pnr, const std::string& badge) {
    db.exec("INSERT INTO T1.MVS300PNR (PNRNUM) VALUES ('" + pnr + "');"
            "INSERT INTO T1.Mvs311Zuo VALUES ('" + pnr + "', '2020-01-01', NULL, 'D1')");
    if (!badge.empty()) {
      db.exec("INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR) VALUES ('" + badge +
              "', '2020-01-01', NULL, '" + pnr + "')");
    }
  }
  // A status period (of T1 unless another schema is named); from and to are
  // SQL expressions.
  void addPeriod(const std::string& pnr, int status, const std::string& from, const std::string& to,
                 int code = 1, const std::string& schema = "T1") {
    db.exec("INSERT INTO " + schema + ".Mvs382Bvf (BVFPNR, BVFGEN, BVFVON, BVFBIS, BVFFC1, BVFKST) VALUES ('" +
            pnr + "', " + std::to_string(status) + ", " + from + ", " + to + ", " + std::to_string(code) +
            ", 'K" + pnr + "')");
  }
  // What the server makes of a date expression in the statements' form.
  std::string dateText(const std::string& expression) {
    return db.scalar("SELECT date_format(" + expression + ", '%d.%m.%Y')");
  }
  // The test server adds the two date texts of a period as numbers.
  std::string periodText(const std::string& from, const std::string& to) {
    return db.scalar("SELECT date_format(" + from + ", '%d.%m.%Y') + ' - ' + date_format(" + to + ", '%d.%m.%Y')");
  }
  std::string path(const std::string& type) const { return outPath(type + ".imp"); }
  std::string run(const std::string& type) {
    EXPECT_EQ(runProgram(layout, {path(type), type}).exitCode, 0) << type;
    return readFile(path(type));
  }
};

std::string mstLine(const std::string& badge, const std::string& status, const std::string& period,
                    const std::string& cost, const std::string& from) {
  return line({{"L1", 5}, {"M'1", 5}, {badge, 13}, {status, 1}, {period, 23}, {kText.substr(0, 33), 33},
               {"", 33}, {"U", 1}, {cost, 50}, {from, 8}, {"D1", 30}, {"", 4}, {"", 3}});
}

}  // namespace

TEST_F(StatusFilesTest, MstPeriodsWithMappedStatusAndBadgeOrTenantPersonKey) {
  const std::string from = "'2099-03-01'", to = "'2099-03-05 18:00:00'";
  const std::string period = periodText(from, to);
  // status as stored, as written
  const std::vector<std::pair<int, std::string>> statuses = {
      {0, "0"}, {5, "5"}, {8, "4"}, {9, "7"}, {10, "3"}, {11, "4"}, {12, "4"}, {13, "6"}, {14, "7"}, {15, "7"}};
  std::string expected = mstLine("M'1_NOBADGE", "1", period, "KNOBADGE", "01.03.99");
  addPerson("NOBADGE", "");
  addPeriod("NOBADGE", 1, from, to);
  for (const auto& [status, written] : statuses) {
    const std::string pnr = "P" + std::to_string(100 + status);
    addPerson(pnr, "B" + std::to_string(100 + status));
    addPeriod(pnr, status, from, to);
    expected += mstLine("B" + std::to_string(100 + status), written, period, "K" + pnr, "01.03.99");
    // after "01.03.2099": the periods of a badge follow the start-date text
    if (status == 10) {
      addPeriod(pnr, status, "'2099-01-02'", to);
      expected += mstLine("B110", "3", periodText("'2099-01-02'", to), "K" + pnr, "02.01.99");
    }
  }
  // The cut-off: the first day of the month fifteen months back stays in,
  // a period ending before that month is left out.
  const std::string cutOffDay = "LAST_DAY(CURDATE() - INTERVAL 16 MONTH) + INTERVAL 1 DAY";
  addPerson("OLD", "B900");
  addPeriod("OLD", 1, cutOffDay, "TIMESTAMP(" + cutOffDay + ", '23:59:59')");
  addPeriod("OLD", 1, "CURDATE() - INTERVAL 18 MONTH", "CURDATE() - INTERVAL 17 MONTH");
  const std::string cutOff = dateText(cutOffDay);
  expected += mstLine("B900", "1", periodText(cutOffDay, cutOffDay), "KOLD", cutOff.substr(0, 6) + cutOff.substr(8));
  // Left out: status 16 and above, NULL, blank or empty short text.
  addPerson("OUT", "B950");
  addPeriod("OUT", 16, from, to);
  addPeriod("OUT", 20, from, to);
  for (const int code : {2, 3, 4}) addPeriod("OUT", 5, from, to, code);
  // Over-long badge and cost centre are cut to their fields, bytes kept.
  addPerson("LONG", "B999-0123456789");
  db.exec("INSERT INTO T1.Mvs382Bvf (BVFPNR, BVFGEN, BVFVON, BVFBIS, BVFFC1, BVFKST) VALUES"
          " ('LONG', 2, '2099-03-01', '2099-03-05 18:00:00', 1, CONCAT(_latin1 0xC4, REPEAT('k', 60)))");
  expected += mstLine("B999-01234567", "2", period, "\xC4" + std::string(49, 'k'), "01.03.99");

  EXPECT_EQ(run("MST"), expected);
  EXPECT_EQ(layout.logMessages(),
            (Strings{"Importdatei : " + path("MST") + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M'1",
                     "Schema:T2 Lizenz:L2 Mandant:M2", "Import " + path("MST") + " fertig.",
                     "Die Schnittstellendatei vom Dateityp 'MST' wurde erstellt!"}));
}

TEST_F(StatusFilesTest, MdtOneLinePerWorkingDayOfEveryPeriodWithMappedStatus) {
  // Calendar days 1 to 5 March 2099; models: 1 has a target time, 2 none.
  db.exec("INSERT INTO MVSYSTEM.MVS133BAK (BAKDTM, BAKWTG) VALUES ('2099-03-01', 7), ('2099-03-02', 1),"
          " ('2099-03-03', 2), ('2099-03-04', 3), ('2099-03-05', 4);"
          "INSERT INTO T1.Mvs140Azv VALUES (1, '2020-01-01', NULL, 480), (2, '2020-01-01', NULL, 0);"
          "INSERT INTO T2.Mvs140Azv SELECT * FROM T1.Mvs140Azv;"
          "INSERT INTO T2.MVs131Fcd SELECT * FROM T1.MVs131Fcd");
  auto dayRecord = [&](const std::string& schema, const std::string& pnr, int day, int model) {
    db.exec("INSERT INTO " + schema + ".Mvs329Ztg VALUES ('" + pnr + "', '2099-03-0" + std::to_string(day) +
            "', " + std::to_string(model) + ")");
  };
  auto mdtLine = [](const std::string& tenant, const std::string& badge, int day, const std::string& status) {
    return line({{tenant == "M2" ? "L2" : "L1", 5}, {tenant, 5}, {badge, 13}, {"0" + std::to_string(day) + ".03.2099", 10},
                 {kText.substr(0, 33), 33}, {"", 33}, {status, 1}, {"U", 1}, {"", 3}});
  };
  // Every period covers 1 to 5 March; the days with a model that has a
  // target time are working days: 1, 4 and 5.
  std::string expected;
  for (const auto& [status, written] :
       std::vector<std::pair<int, std::string>>{{2, "2"}, {3, "3"}, {4, ""}, {5, "2"}, {7, "3"}, {9, "3"}}) {
    const std::string pnr = "P" + std::to_string(status), badge = "B" + std::to_string(status);
    addPerson(pnr, badge);
    addPeriod(pnr, status, "'2099-03-01'", "'2099-03-05'");
    for (const auto& [day, model] : std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {4, 1}, {5, 1}}) {
      dayRecord("T1", pnr, day, model);
    }
    if (written.empty()) continue;  // status 4 is not exported
    for (const int day : {1, 4, 5}) expected += mdtLine("M'1", badge, day, written);
  }
  // T2: status 10; a period whose code has a blank short text is left out.
  db.exec("INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR) VALUES ('C1', '2020-01-01', NULL, 'Q1')");
  addPeriod("Q1", 10, "'2099-03-04'", "'2099-03-04'", 1, "T2");
  addPeriod("Q1", 10, "'2099-03-05'", "'2099-03-05'", 3, "T2");
  dayRecord("T2", "Q1", 4, 1);
  dayRecord("T2", "Q1", 5, 1);
  expected += mdtLine("M2", "C1", 4, "3");

  EXPECT_EQ(run("MDT"), expected);
  EXPECT_EQ(layout.logMessages().at(1), "Schema: T1  Lizenz: L1  Mandant: M'1");
}

TEST_F(StatusFilesTest, FcdCodesWithShortTextOfEveryTenantAndMinusNineWithoutTerminalCode) {
  db.exec("DELETE FROM T1.MVs131Fcd;"
          "INSERT INTO T1.MVs131Fcd VALUES (3, 'U', 'Urlaub', 'A', NULL), (1, 'K', 'Krank', 'A', ''),"
          " (2, '', _latin1 0x4BFC72207A656974, 'B', '7'), (4, NULL, 'ohne', 'A', '1'),"
          " (1000, 'XYZ', REPEAT('t', 60), 'TYPLANG', '123456');"
          "INSERT INTO T2.MVs131Fcd SELECT * FROM T1.MVs131Fcd");
  std::string expected;
  for (const auto& [licence, tenant] : std::vector<std::pair<std::string, std::string>>{{"L1", "M'1"}, {"L2", "M2"}}) {
    auto fcdLine = [&](const std::string& num, const std::string& krt, const std::string& txt,
                       const std::string& typ, const std::string& fcd) {
      return line({{licence, 5}, {tenant, 5}, {num, 3}, {krt, 2}, {txt, 50}, {typ, 5}, {fcd, 5}});
    };
    expected += fcdLine("1", "K", "Krank", "A", "-9") + fcdLine("2", "", "K\xFCr zeit", "B", "7") +
                fcdLine("3", "U", "Urlaub", "A", "-9") +
                fcdLine("100", "XY", std::string(50, 't'), "TYPLA", "12345");
  }
  EXPECT_EQ(run("FCD"), expected);
}

TEST_F(StatusFilesTest, FailuresEndEachWriterWithItsOwnMessages) {
  struct Case {
    Writer writer;
    const char* type;
    const char* table;  // dropped from T1
    std::string openFailure, cursorFailure;
  };
  const Case cases[] = {
      {writeMstFile, "MST", "Mvs311Zuo", "Oeffnen der Datei %s fehlgeschlagen.", "Fehler in Fkt. SQLOpenMst(). RC: 1146"},
      {writeMdtFile, "MDT", "Mvs329Ztg", "Oeffnen der Datei %s fehlgeschlagen", "Fehler in Fkt. SQLOpenMdt(). RC: 1146"},
      {writeFcdFile, "FCD", "MVs131Fcd", "Oeffnen der Datei %s fehlgeschlagen", "Fehler in Fkt. SQLOpenFcd(). RC: 1146"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    // A file that cannot be opened: result 1 and the open-failure message only.
    const std::string missing = outPath("missing/x.imp");
    fs::remove(layout.logFile());
    EXPECT_EQ(runWriterInProcess(layout, c.writer, missing), 1);
    std::string message = c.openFailure;
    message.replace(message.find("%s"), 2, missing);
    EXPECT_EQ(layout.logMessages(), Strings{message});

    // A statement the server rejects: result 2 with the server's error number.
    db.exec(std::string("DROP TABLE IF EXISTS T1.") + c.table);
    fs::remove(layout.logFile());
    EXPECT_EQ(runWriterInProcess(layout, c.writer, path(c.type)), 2);
    EXPECT_EQ(readFile(path(c.type)), "");
    const Strings log = layout.logMessages();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2], c.cursorFailure);
    EXPECT_EQ(log[3], "Import " + path(c.type) + " fehlgeschlagen.");
  }
}
