// Holiday file FTG.
#include <gtest/gtest.h>

#include "common/test_env.h"
#include "export/master/master.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

class FtgTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    // TRM1 (language 2) and TRM2 (language NULL) qualify; TRM3 has no
    // control area, TRM4 no terminal entry.
    db.exec(
        "INSERT INTO MVSYSTEM.MVS401ZLS (ZLSTRM, ZLSLES, ZLSZKO) VALUES"
        " ('TRM1', 1, 'Z1'), ('TRM2', 1, 'Z1'), ('TRM2', 2, 'Z1'), ('TRM3', 1, 'Z9'), ('TRM4', 1, 'Z1');"
        "INSERT INTO MVSYSTEM.MVS402ZKO (ZKONUM) VALUES ('Z1');"
        "INSERT INTO MVSYSTEM.MVS1140TRM (TRMNAM, TRMSPR) VALUES ('TRM1', 2), ('TRM2', NULL), ('TRM3', 1)");
    db.createTenantSchema("T1");
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('L1', 'M1', 'T1', 0)");
  }
  // A date relative to today, as the file shows it.
  std::string day(const std::string& offset, const char* pattern = "%Y%m%d") {
    return db.scalar("SELECT DATE_FORMAT(CURDATE() + " + offset + ", '" + pattern + "')");
  }
  std::string ftgLine(const std::string& terminal, const std::string& offset, const std::string& text,
                      const std::string& krt, const std::string& calendar, const std::string& tenant = "M1") {
    return line({{terminal, 255},
                 {"L1", 5},
                 {tenant, 5},
                 {day(offset, "%Y"), 4},
                 {day(offset), 8},
                 {text, 20},
                 {krt, 1},
                 {calendar, 3}});
  }

  const std::string path = outPath("feiertage.imp");
};

}  // namespace

TEST_F(FtgTest, HolidaysFromOneYearBackForEveryTerminalInItsLanguage) {
  const std::string yearAgo = "INTERVAL -1 YEAR + INTERVAL 1 DAY";
  db.exec(
      "INSERT INTO T1.MVS132TT2 (TT2NUM, TT2TXT, TT2KRT, TT2FTG) VALUES"
      " (1, 'Neujahr', 'F', 1), (123, 'Ostern', 'O', 1), (12345, 'Pfingsten', 'P', 1), (7, 'Werktag', 'W', 0);"
      "INSERT INTO T1.MVS133KA2 (KA2NUM, KA2DTM, KA2TTP) VALUES"
      " (1, CURDATE() - INTERVAL 1 YEAR - INTERVAL 1 DAY, 1),"  // too old
      " (1, CURDATE() + " +
      yearAgo +
      ", 1),"
      " (1, CURDATE() + INTERVAL 3 YEAR, 123), (2, CURDATE() + INTERVAL 3 YEAR, 123),"  // two calendars
      " (1, CURDATE() + INTERVAL 10 DAY, 12345),"
      " (1, CURDATE() + INTERVAL 5 DAY, 7);"  // no holiday
      // Keys: "1#", "123#", "1234"; TRM2 has no language and looks up 0.
      "INSERT INTO T1.MVS122DI2 (DI2KEY, DI2FNA, DI2SPR, DI2TXT) VALUES"
      " ('1#', 'TT2TXT', 2, 'Neujahrstag im ganzen Land'),"  // cut to 20
      " ('1#', 'ANDERS', 0, 'Falsches Feld'),"
      " ('123#', 'TT2TXT', 0, _latin1 0xD67374657266657374),"
      " ('1234', 'TT2TXT', 2, ''),"  // empty: the day type's text stays
      " ('1234', 'TT2TXT', 0, 'Pfingstfest')");

  const auto result = runProgram(layout, {path, "FTG"});
  EXPECT_EQ(result.exitCode, 0);
  const std::string in3Years = "INTERVAL 3 YEAR", in10Days = "INTERVAL 10 DAY";
  EXPECT_EQ(
      readFile(path),
      ftgLine("TRM1", yearAgo, "Neujahrstag im ganze", "F", "1") + ftgLine("TRM1", in10Days, "Pfingsten", "P", "1") +
          ftgLine("TRM1", in3Years, "Ostern", "O", "1") + ftgLine("TRM1", in3Years, "Ostern", "O", "2") +
          ftgLine("TRM2", yearAgo, "Neujahr", "F", "1") + ftgLine("TRM2", in10Days, "Pfingstfest", "P", "1") +
          ftgLine("TRM2", in3Years, "\xD6sterfest", "O", "1") + ftgLine("TRM2", in3Years, "\xD6sterfest", "O", "2"));
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei: " + path + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M1",
                                      "Import " + path + " fertig.",
                                      "Die Schnittstellendatei vom Dateityp 'FTG' wurde erstellt!"}));
}

TEST_F(FtgTest, QuotedDayTypeKeyAndMissingDictionaryKeepTheLines) {
  // Day types stored as text, one of them with a quote.
  db.exec(
      "ALTER TABLE T1.MVS133KA2 MODIFY KA2TTP VARCHAR(10);"
      "ALTER TABLE T1.MVS132TT2 MODIFY TT2NUM VARCHAR(10);"
      "INSERT INTO T1.MVS132TT2 (TT2NUM, TT2TXT, TT2KRT, TT2FTG) VALUES ('9''', 'Quote', 'Q', 1);"
      "INSERT INTO T1.MVS133KA2 (KA2NUM, KA2DTM, KA2TTP) VALUES (4, CURDATE(), '9''');"
      "INSERT INTO T1.MVS122DI2 (DI2KEY, DI2FNA, DI2SPR, DI2TXT) VALUES ('9''#', 'TT2TXT', 2, 'Mit Hochkomma')");
  // A second tenant without dictionary: its lookups fail unreported.
  db.createTenantSchema("T2");
  db.exec(
      "DROP TABLE T2.MVS122DI2;"
      "INSERT INTO T2.MVS132TT2 (TT2NUM, TT2TXT, TT2KRT, TT2FTG) VALUES (1, 'Eigen', 'E', 1);"
      "INSERT INTO T2.MVS133KA2 (KA2NUM, KA2DTM, KA2TTP) VALUES (1, CURDATE(), 1);"
      "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('L1', 'M2', 'T2', 0)");

  EXPECT_EQ(runProgram(layout, {path, "FTG"}).exitCode, 0);
  const std::string today = "INTERVAL 0 DAY";
  EXPECT_EQ(readFile(path),
            ftgLine("TRM1", today, "Mit Hochkomma", "Q", "4") + ftgLine("TRM2", today, "Quote", "Q", "4") +
                ftgLine("TRM1", today, "Eigen", "E", "1", "M2") + ftgLine("TRM2", today, "Eigen", "E", "1", "M2"));
  EXPECT_EQ(layout.logMessages().size(), 5u);
}

TEST_F(FtgTest, TenantWithoutCalendarTableEndsTheWriter) {
  db.exec("DROP TABLE T1.MVS133KA2");
  EXPECT_EQ(runWriterInProcess(layout, writeFtgFile, path), WriterResult::kDbError);
  EXPECT_EQ(readFile(path), "");
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei: " + path + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M1",
                                      "Fehler in Fkt. SQLOpenFtg(). RC: 1146", "Import " + path + " fehlgeschlagen."}));
}
