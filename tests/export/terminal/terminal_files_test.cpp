// Terminal schedule files 20P, 35P and 41P, run end to end as a process,
// and their database failures in-process. Calendar days lie relative to the
// day the test runs; their weekday numbers say where they lie: today is 1,
// today + 6 is 7, the day after the seven days 8 and yesterday 9.
#include <gtest/gtest.h>

#include "common/test_env.h"
#include "export/frame.h"
#include "export/terminal/terminal.h"
#include "tools/read_back.h"

using namespace sstrxv;
using namespace sstrxv::test;
using Strings = std::vector<std::string>;

namespace {

std::string l20(const std::string& terminal, const std::string& reader, const std::string& day,
                const std::string& zone = "", const std::string& from = "", const std::string& to = "") {
  return line({{terminal, 255}, {reader, 2}, {day, 1}, {zone, 5}, {from, 4}, {to, 4}});
}
std::string l35(const std::string& cls, const std::string& reader, const std::string& zone,
                const std::string& booking) {
  return line({{"T1", 255},
               {"001", 3},
               {cls, 5},
               {reader, 2},
               {reader, 2},
               {cls.substr(0, 3), 3},
               {"A1", 5},
               {zone, 5},
               {booking, 1}});
}
std::string l41(const std::string& terminal, const std::string& plan, const std::string& reader,
                const std::string& zone, const std::string& day, const std::string& from, const std::string& to) {
  return line({{terminal, 255}, {"001", 3}, {plan, 3}, {reader, 2}, {zone, 5}, {day, 1}, {from, 4}, {to, 4}});
}
// A calendar day: (calendar, today + offset, day type).
std::string day(int calendar, int offset, int dayType) {
  return "(" + std::to_string(calendar) + ", CURDATE() + INTERVAL " + std::to_string(offset) + " DAY, " +
         std::to_string(dayType) + ")";
}

class TerminalFilesTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    for (int offset = -1; offset <= 7; ++offset) {
      const int weekday = offset < 0 ? 9 : offset + 1;
      sql("INSERT INTO MVS133BAK (BAKDTM, BAKWTG) VALUES (CURDATE() + INTERVAL " + std::to_string(offset) + " DAY, " +
          std::to_string(weekday) + ")");
    }
  }
  void sql(const std::string& statements) { db.exec("USE MVSYSTEM; " + statements); }
  std::string path(const std::string& type) const { return outPath(type + ".imp"); }
  // Runs the program for the file type and returns the file it wrote.
  std::string run(const std::string& type) {
    EXPECT_EQ(runProgram(layout, {path(type), type}).exitCode, 0) << type;
    return readFile(path(type));
  }
};

}  // namespace

TEST_F(TerminalFilesTest, TimePlanOfTheReaderOrItsAreaForEachWeekdayOfTheSevenDays) {
  sql("INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL);"
      "INSERT INTO MVS401ZLS VALUES ('T1', 12, 'A1', 'P2', NULL), ('T1', 7, 'A1', NULL, NULL);"
      "INSERT INTO MVS133KAL VALUES " +
      day(1, -1, 1) + "," + day(1, 0, 1) + "," + day(1, 1, 2) + "," + day(1, 2, 3) + "," + day(1, 6, 1) + "," +
      day(1, 7, 1) +
      ";"
      // P1 on day type 3: a zone whose only window has no from-time
      "INSERT INTO MVS404ZBR VALUES ('A1', 'P1', 1, 'Z1', NULL, NULL), ('A1', 'P1', 3, 'ZN', NULL, NULL),"
      " ('A1', 'P2', 2, 'Z2', NULL, NULL);"
      "INSERT INTO MVS402ZUZ VALUES ('Z1', 450, 720, NULL), ('Z1', 0, 1439, NULL), ('ZN', NULL, 600, NULL),"
      " ('Z2', 1020, 1080, NULL)");
  const std::string content = run("20P");
  std::string expected;
  for (const std::string weekday : {"1", "7"}) {
    expected += l20("T1", "07", weekday, "Z1", "0730", "1200") + l20("T1", "07", weekday, "Z1", "0000", "2359");
  }
  // A weekday without zone gets one line; weekday 3, whose zone has no window, none.
  expected += l20("T1", "07", "2") + l20("T1", "12", "1") + l20("T1", "12", "2", "Z2", "1700", "1800") +
              l20("T1", "12", "3") + l20("T1", "12", "7");
  EXPECT_EQ(sortedLines(content), sortedLines(expected));
  expectReadsBack("20P", content, "time zone=Z1", 4);
  Strings days;  // reader and weekday of every line, in file order
  for (std::size_t at = 255; at < content.size(); at += 274) days.push_back(content.substr(at, 3));
  EXPECT_EQ(days, (Strings{"071", "071", "072", "077", "077", "121", "122", "123", "127"}));
}

TEST_F(TerminalFilesTest, QuotedAndOverlongKeysFindTheirRowsAndAreCutInTheLine) {
  const std::string longName = std::string(255, 'L') + "TAIL";
  sql("INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL);"
      "INSERT INTO MVS401ZLS VALUES ('O''Brien Tor', 1, 'A1', NULL, NULL), ('" +
      longName +
      "', 2, 'A1', NULL, NULL);"
      "INSERT INTO MVS133KAL VALUES " +
      day(1, 0, 1) +
      ";"
      "INSERT INTO MVS404ZBR VALUES ('A1', 'P1', 1, 'ZONE12', NULL, NULL);"
      "INSERT INTO MVS402ZUZ VALUES ('ZONE12', 480, 540, NULL)");
  const std::string cutName = longName.substr(0, 255);
  EXPECT_EQ(run("20P"),
            l20(cutName, "02", "1", "ZONE1", "0800", "0900") + l20("O'Brien Tor", "01", "1", "ZONE1", "0800", "0900"));
  EXPECT_EQ(run("35P").size(), 2u * 284u);
  EXPECT_EQ(run("41P"), l41(cutName, "P1", "02", "ZONE1", "1", "0800", "0900") +
                            l41("O'Brien Tor", "P1", "01", "ZONE1", "1", "0800", "0900"));
}

TEST_F(TerminalFilesTest, StatusFourAndEightLeaveRowsOutInEveryTableAndNullKeepsThem) {
  sql("INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL), ('A8', 'P1', 1, 8);"
      "INSERT INTO MVS401ZLS VALUES ('T1', 1, 'A1', NULL, NULL), ('T1', 2, 'A1', NULL, 0), ('R4', 1, 'A1', NULL, 4),"
      " ('R8', 1, 'A1', NULL, 8), ('RA', 1, 'A8', NULL, NULL);"
      "INSERT INTO MVS133KAL VALUES " +
      day(1, 0, 1) +
      ";"
      "INSERT INTO MVS404ZBR VALUES ('A1', 'P1', 1, 'Z1', NULL, NULL), ('A1', 'P1', 1, 'Z4', NULL, 4),"
      " ('A1', 'P1', 1, 'Z8', NULL, 8), ('A1', 'P1', 1, 'ZZ', NULL, 0);"
      "INSERT INTO MVS402ZUZ VALUES ('Z1', 60, 120, 0), ('Z4', 60, 120, NULL), ('Z8', 60, 120, NULL),"
      " ('ZZ', 60, 120, 4)");
  EXPECT_EQ(run("20P"), l20("T1", "01", "1", "Z1", "0100", "0200") + l20("T1", "02", "1", "Z1", "0100", "0200"));
  EXPECT_EQ(sortedLines(run("35P")), sortedLines(l35("P1", "01", "Z1", "0") + l35("P1", "01", "ZZ", "0") +
                                                 l35("P1", "02", "Z1", "0") + l35("P1", "02", "ZZ", "0")));
  EXPECT_EQ(run("41P"),
            l41("T1", "P1", "01", "Z1", "1", "0100", "0200") + l41("T1", "P1", "02", "Z1", "1", "0100", "0200"));
}

TEST_F(TerminalFilesTest, AuthorizationsWithTheBookingFlagReducedToOneOrZero) {
  sql("INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL), ('A2', 'P1', 1, NULL);"
      "INSERT INTO MVS401ZLS VALUES ('T1', 3, 'A1', NULL, NULL);"
      // a class too long for the week-plan field; a second day type giving the same line; another area's entry
      "INSERT INTO MVS404ZBR VALUES ('A1', 'P1234', 1, 'Z0', NULL, NULL), ('A1', 'P1', 1, 'Z1', 0, NULL),"
      " ('A1', 'P1', 1, 'Z2', 1, NULL), ('A1', 'P1', 2, 'Z2', 1, NULL), ('A1', 'P1', 1, 'Z3', 2, NULL),"
      " ('A1', 'P1', 1, 'Z4', 10, NULL), ('A1', 'P1', 1, 'Z5', -1, NULL), ('A2', 'P1', 1, 'Z6', 1, NULL)");
  EXPECT_EQ(sortedLines(run("35P")),
            sortedLines(l35("P1234", "03", "Z0", "0") + l35("P1", "03", "Z1", "0") + l35("P1", "03", "Z2", "1") +
                        l35("P1", "03", "Z3", "0") + l35("P1", "03", "Z4", "0") + l35("P1", "03", "Z5", "0")));
}

TEST_F(TerminalFilesTest, TimeZonesOfEveryPlanOfTheAreaInTheirOrder) {
  sql("INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL);"
      // the own plan of reader 12 does not narrow its time zones
      "INSERT INTO MVS401ZLS VALUES ('T2', 5, 'A1', NULL, NULL), ('T1', 12, 'A1', 'P9', NULL),"
      " ('T1', 4, 'A1', NULL, NULL);"
      "INSERT INTO MVS133KAL VALUES " +
      day(1, -1, 1) + "," + day(1, 0, 1) + "," + day(1, 1, 2) + "," + day(1, 3, 1) + "," + day(1, 7, 1) +
      ";"
      // no calendar day has the day type of Z4
      "INSERT INTO MVS404ZBR VALUES ('A1', 'P2', 2, 'Z3', NULL, NULL), ('A1', 'P1', 1, 'Z1', NULL, NULL),"
      " ('A1', 'P1', 1, 'Z2', NULL, NULL), ('A1', 'P1', 3, 'Z4', NULL, NULL);"
      "INSERT INTO MVS402ZUZ VALUES ('Z1', 480, 720, NULL), ('Z2', 0, 1440, NULL), ('Z3', 1020, 1080, NULL),"
      " ('Z4', 0, 60, NULL)");
  const auto p1 = [](const std::string& terminal, const std::string& reader) {
    std::string lines;
    for (const std::string weekday : {"1", "4"}) {
      lines += l41(terminal, "P1", reader, "Z2", weekday, "0000", "2400") +
               l41(terminal, "P1", reader, "Z1", weekday, "0800", "1200");
    }
    return lines;
  };
  const auto p2 = [](const std::string& terminal, const std::string& reader) {
    return l41(terminal, "P2", reader, "Z3", "2", "1700", "1800");
  };
  EXPECT_EQ(run("41P"),
            p1("T1", "04") + p1("T1", "12") + p2("T1", "04") + p2("T1", "12") + p1("T2", "05") + p2("T2", "05"));
}

TEST_F(TerminalFilesTest, EmptyDatabaseGivesEmptyFilesAndResultZero) {
  Strings log;
  for (const std::string type : {"20P", "35P", "41P"}) {
    writeFile(path(type), "old\r\n");
    EXPECT_EQ(run(type), "");
    log.push_back((type == "20P" ? "Importdatei: " : "Importdatei : ") + path(type) + " fuellen...");
    log.push_back("Import " + path(type) + " fertig.");
    log.push_back("Die Schnittstellendatei vom Dateityp '" + type + "' wurde erstellt!");
  }
  EXPECT_EQ(layout.logMessages(), log);
}

// In-process, since a failing writer run as a process waits between its attempts.
TEST_F(TerminalFilesTest, FailingCursorsEndTheWritersWithResultTwo) {
  const std::string out = path("out");
  sql("INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL); INSERT INTO MVS401ZLS VALUES ('T1', 1, 'A1', NULL, NULL);"
      "INSERT INTO MVS133KAL VALUES " +
      day(1, 0, 1) +
      ";"
      "INSERT INTO MVS404ZBR VALUES ('A1', 'P1', 1, 'Z1', NULL, NULL); INSERT INTO MVS402ZUZ VALUES ('Z1', 60, 120, "
      "NULL)");
  // Runs the writer on a fresh session; the session is closed before tables change again.
  const auto run = [&](Writer writer) {
    const int result = static_cast<int>(runWriterInProcess(layout, writer, out));
    EXPECT_EQ(readFile(out), "");
    const Strings log = layout.logMessages();
    return std::pair(result, Strings(log.end() - 2, log.end()));
  };
  const std::string start = "Importdatei : " + out + " fuellen...", failed = "Import " + out + " fehlgeschlagen.";
  sql("RENAME TABLE MVS404ZBR TO ZBR_AWAY");
  EXPECT_EQ(run(write20pFile),
            std::pair(2, Strings{"Importdatei: " + out + " fuellen...", "Fehler in Fkt. SQLFetchS20P(). RC: 1146"}));
  EXPECT_EQ(run(write35pFile), std::pair(2, Strings{start, "Fehler in Fkt. SQLOpenS35P(). RC: 1146"}));
  EXPECT_EQ(run(write41pFile), std::pair(2, Strings{start, "Fehler in Fkt. SQLOpenS41P(). RC: 1146"}));
  sql("RENAME TABLE ZBR_AWAY TO MVS404ZBR");
  // Only the windows read the from-time; only the zones of a weekday read the day type.
  sql("ALTER TABLE MVS402ZUZ RENAME COLUMN ZUZVON TO VON_AWAY");
  EXPECT_EQ(run(write20pFile), std::pair(2, Strings{"Fehler in Fkt. SQLOpenS20PUhrZeit(). RC: 1054", failed}));
  sql("ALTER TABLE MVS402ZUZ RENAME COLUMN VON_AWAY TO ZUZVON; ALTER TABLE MVS133KAL RENAME COLUMN KALTTP TO TTP");
  EXPECT_EQ(run(write20pFile), std::pair(2, Strings{"Fehler in Fkt. SQLFetchS20P(). RC: 1054", failed}));
  sql("ALTER TABLE MVS133KAL RENAME COLUMN TTP TO KALTTP");
}
