// Employee status files MST, MDT and FCD against the private server. Tenant
// T1 has a quote in its number, which names the persons without badge.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "common/test_env.h"
#include "export/status/status.h"
#include "tools/read_back.h"

using namespace sstrxv;
using namespace sstrxv::test;
using Strings = std::vector<std::string>;

namespace {

// Every period uses code 1, whose text is cut to 33 columns; codes 2 to 4
// have a NULL, blank or empty short text, so their periods are left out.
const std::string kText = std::string(
                              "Fortbildung au\xDF"
                              "er Haus und Reisezeiten")
                              .substr(0, 33);

class StatusFilesTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    db.createTenantSchema("T1");
    db.createTenantSchema("T2");
    db.exec(
        "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('L1', 'M''1', 'T1', 0),"
        " ('L2', 'M2', 'T2', 0); INSERT INTO T1.MVs131Fcd VALUES (1, 'U', CONCAT('Fortbildung au', _latin1 0xDF,"
        " 'er Haus und Reisezeiten'), 'A', NULL), (2, NULL, 'x', 'A', NULL), (3, ' ', 'x', 'A', NULL),"
        " (4, '', 'x', 'A', NULL);"
        // Calendar days 1 to 5 March 2099; model 1 has a target time, 2 none.
        "INSERT INTO MVSYSTEM.MVS133BAK (BAKDTM, BAKWTG) SELECT '2099-03-01' + INTERVAL seq DAY, 1 FROM"
        " MVSYSTEM.seq_0_to_4; INSERT INTO T1.Mvs140Azv VALUES (1, '2020-01-01', NULL, 480),"
        " (2, '2020-01-01', NULL, 0)");
  }
  // A person in department D1 from 2020 on, with a badge unless it is empty,
  // and day records of 1, 4 and 5 March under model 1 and 2 March under model 2.
  void addPerson(const std::string& pnr, const std::string& badge) {
    db.exec("INSERT INTO T1.MVS300PNR (PNRNUM) VALUES ('" + pnr + "'); INSERT INTO T1.Mvs311Zuo VALUES ('" + pnr +
            "', '2020-01-01', NULL, 'D1'); INSERT INTO T1.Mvs329Ztg SELECT '" + pnr +
            "', '2099-03-01' + INTERVAL seq"
            " DAY, IF(seq = 1, 2, 1) FROM MVSYSTEM.seq_0_to_4 WHERE seq <> 2");
    if (!badge.empty()) {
      db.exec("INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWGBI, ASWPNR) VALUES ('" + badge +
              "', '2020-01-01', NULL, '" + pnr + "')");
    }
  }
  // A status period of T1; from and to are SQL expressions.
  void addPeriod(const std::string& pnr, int status, const std::string& from, const std::string& to, int code = 1) {
    db.exec("INSERT INTO T1.Mvs382Bvf (BVFPNR, BVFGEN, BVFVON, BVFBIS, BVFFC1, BVFKST) VALUES ('" + pnr + "', " +
            std::to_string(status) + ", " + from + ", " + to + ", " + std::to_string(code) + ", 'K')");
  }
  // The server's text of a period: start and end "dd.mm.yyyy" joined by
  // " - " through "+" (on this server a sum of numbers).
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
                    const std::string& start) {
  return line({{"L1", 5},
               {"M'1", 5},
               {badge, 13},
               {status, 1},
               {period, 23},
               {kText, 33},
               {"", 33},
               {"U", 1},
               {"K", 50},
               {start, 8},
               {"D1", 30},
               {"", 4},
               {"", 3}});
}
std::string mdtLine(const std::string& badge, const std::string& day, const std::string& status) {
  return line({{"L1", 5},
               {"M'1", 5},
               {badge, 13},
               {day + ".03.2099", 10},
               {kText, 33},
               {"", 33},
               {status, 1},
               {"U", 1},
               {"", 3}});
}

}  // namespace

TEST_F(StatusFilesTest, StatusAndDetailFilesMapEveryStatusAndLeaveOutWhatTheStatementsExclude) {
  const std::string from = "'2099-03-01'", to = "'2099-03-05 18:00:00'", period = periodText(from, to);
  addPerson("NOBADGE", "");
  addPeriod("NOBADGE", 2, from, to);
  std::string mst = mstLine("M'1_NOBADGE", "2", period, "01.03.99"), mdt;
  // status as stored, as in MST, as in MDT (empty: no lines); the working
  // days of every period are 1, 4 and 5 March
  for (const auto& [status, inMst, inMdt] : std::vector<std::tuple<int, std::string, std::string>>{{0, "0", ""},
                                                                                                   {2, "2", "2"},
                                                                                                   {3, "3", "3"},
                                                                                                   {5, "5", "2"},
                                                                                                   {7, "7", "3"},
                                                                                                   {8, "4", ""},
                                                                                                   {9, "7", "3"},
                                                                                                   {10, "3", "3"},
                                                                                                   {11, "4", ""},
                                                                                                   {12, "4", ""},
                                                                                                   {13, "6", ""},
                                                                                                   {14, "7", ""},
                                                                                                   {15, "7", ""}}) {
    const std::string number = std::to_string(100 + status);
    addPerson(number, "B" + number);
    addPeriod(number, status, from, to);
    mst += mstLine("B" + number, inMst, period, "01.03.99");
    if (inMdt.empty()) continue;
    for (const std::string day : {"01", "04", "05"}) mdt += mdtLine("B" + number, day, inMdt);
  }
  // The cut-off: a period ending on the first day of the month fifteen
  // months back stays, one ending before that month is left out.
  const std::string firstDay = "LAST_DAY(CURDATE() - INTERVAL 16 MONTH) + INTERVAL 1 DAY";
  addPerson("OLD", "B900");
  addPeriod("OLD", 2, firstDay, "TIMESTAMP(" + firstDay + ", '23:59:59')");
  addPeriod("OLD", 2, "CURDATE() - INTERVAL 18 MONTH", "CURDATE() - INTERVAL 17 MONTH");
  const std::string shortStart = db.scalar("SELECT date_format(" + firstDay + ", '%d.%m.%y')");
  mst += mstLine("B900", "2", periodText(firstDay, firstDay), shortStart);
  // Left out of both: status 16 and above; NULL, blank or empty short text.
  addPerson("OUT", "B950");
  for (const int status : {16, 20}) addPeriod("OUT", status, from, to);
  for (const int code : {2, 3, 4}) addPeriod("OUT", 5, from, to, code);

  EXPECT_EQ(run("MST"), mst);
  expectReadsBack("MST", mst, "badge number=B900", 1);
  EXPECT_EQ(run("MDT"), mdt);
}

TEST_F(StatusFilesTest, FcdCodesWithShortTextOfEveryTenantAndMinusNineWithoutTerminalCode) {
  db.exec(
      "DELETE FROM T1.MVs131Fcd; INSERT INTO T1.MVs131Fcd VALUES (3, 'U', 'Urlaub', 'A', NULL),"
      " (1, 'K', 'Krank', 'A', ''), (2, '', _latin1 0x4BFC72, 'B', '7'), (4, NULL, 'ohne', 'A', '1'),"
      " (1000, 'XYZ', REPEAT('t', 60), 'TYPLANG', '123456'); INSERT INTO T2.MVs131Fcd SELECT * FROM T1.MVs131Fcd");
  std::string expected;
  for (const auto& [licence, tenant] : std::vector<std::pair<std::string, std::string>>{{"L1", "M'1"}, {"L2", "M2"}}) {
    for (const Strings& f : std::vector<Strings>{{"1", "K", "Krank", "A", "-9"},
                                                 {"2", "", "K\xFCr", "B", "7"},
                                                 {"3", "U", "Urlaub", "A", "-9"},
                                                 {"100", "XY", std::string(50, 't'), "TYPLA", "12345"}}) {
      expected += line({{licence, 5}, {tenant, 5}, {f[0], 3}, {f[1], 2}, {f[2], 50}, {f[3], 5}, {f[4], 5}});
    }
  }
  EXPECT_EQ(run("FCD"), expected);
}

TEST_F(StatusFilesTest, FailuresEndEachWriterWithItsOwnMessages) {
  struct Case {
    Writer writer;
    std::string type, table, openFailure, tenant;  // table: dropped from T1
  };
  const std::string plain = "Schema:T1 Lizenz:L1 Mandant:M'1", spaced = "Schema: T1  Lizenz: L1  Mandant: M'1";
  for (const Case& c : {Case{writeMstFile, "Mst", "Mvs311Zuo", " fehlgeschlagen.", plain},
                        Case{writeMdtFile, "Mdt", "Mvs329Ztg", " fehlgeschlagen", spaced},
                        Case{writeFcdFile, "Fcd", "MVs131Fcd", " fehlgeschlagen", plain}}) {
    SCOPED_TRACE(c.type);
    // A file that cannot be opened: result 1 and the open-failure message alone.
    std::filesystem::remove(layout.logFile());
    EXPECT_EQ(runWriterInProcess(layout, c.writer, outPath("missing/x.imp")), WriterResult::kFileError);
    EXPECT_EQ(layout.logMessages(), Strings{"Oeffnen der Datei " + outPath("missing/x.imp") + c.openFailure});
    // A statement the server rejects: result 2 with the server's error number.
    db.exec("DROP TABLE IF EXISTS T1." + c.table);
    std::filesystem::remove(layout.logFile());
    EXPECT_EQ(runWriterInProcess(layout, c.writer, path(c.type)), WriterResult::kDbError);
    EXPECT_EQ(readFile(path(c.type)), "");
    EXPECT_EQ(layout.logMessages(), (Strings{"Importdatei : " + path(c.type) + " fuellen...", c.tenant,
                                             "Fehler in Fkt. SQLOpen" + c.type + "(). RC: 1146",
                                             "Import " + path(c.type) + " fehlgeschlagen."}));
  }
}
