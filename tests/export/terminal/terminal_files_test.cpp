// Terminal schedule files 20P, 35P and 41P, run end to end as a process,
// and their database failures in-process. Calendar days are inserted
// relative to the day the test runs; the weekday numbers are chosen so that
// every day says where it lies: today is 1, today + 6 is 7, the day after
// the seven days 8 and yesterday 9.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/test_env.h"
#include "db/session.h"
#include "export/frame.h"
#include "export/terminal/terminal.h"
#include "support/run_state.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

std::string quoted(const std::string& value) {
  if (value == "NULL") return value;
  std::string text = "'";
  for (const char c : value) text += (c == '\'' || c == '\\') ? std::string(2, c) : std::string(1, c);
  return text + "'";
}

std::string l20(const std::string& terminal, const std::string& reader, const std::string& day,
                const std::string& zone = "", const std::string& from = "", const std::string& to = "") {
  return line({{terminal, 255}, {reader, 2}, {day, 1}, {zone, 5}, {from, 4}, {to, 4}});
}
std::string l35(const std::string& terminal, const std::string& cls, const std::string& reader,
                const std::string& area, const std::string& zone, const std::string& booking) {
  return line({{terminal, 255}, {"001", 3}, {cls, 5}, {reader, 2}, {reader, 2}, {cls.substr(0, 3), 3},
               {area, 5}, {zone, 5}, {booking, 1}});
}
std::string l41(const std::string& terminal, const std::string& plan, const std::string& reader,
                const std::string& zone, const std::string& day, const std::string& from, const std::string& to) {
  return line({{terminal, 255}, {"001", 3}, {plan, 3}, {reader, 2}, {zone, 5}, {day, 1}, {from, 4}, {to, 4}});
}

class TerminalFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.reset();
    layout.writeSettings("", kProgramUser, kProgramPassword);
    for (const auto& [offset, weekday] : {std::pair{-1, 9}, {0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6},
                                          {6, 7}, {7, 8}}) {
      sql("INSERT INTO MVS133BAK (BAKDTM, BAKWTG) VALUES (CURDATE() + INTERVAL " + std::to_string(offset) +
          " DAY, " + std::to_string(weekday) + ")");
    }
  }

  void sql(const std::string& statement) { db.exec("USE MVSYSTEM; " + statement); }
  void reader(const std::string& terminal, int number, const std::string& area,
              const std::string& ownPlan = "NULL", const std::string& status = "NULL") {
    sql("INSERT INTO MVS401ZLS VALUES (" + quoted(terminal) + ", " + std::to_string(number) + ", " +
        quoted(area) + ", " + quoted(ownPlan) + ", " + status + ")");
  }
  void area(const std::string& number, const std::string& plan, int calendar, const std::string& status = "NULL") {
    sql("INSERT INTO MVS402ZKO VALUES (" + quoted(number) + ", " + quoted(plan) + ", " +
        std::to_string(calendar) + ", " + status + ")");
  }
  void entry(const std::string& area, const std::string& plan, int dayType, const std::string& zone,
             const std::string& booking = "NULL", const std::string& status = "NULL") {
    sql("INSERT INTO MVS404ZBR VALUES (" + quoted(area) + ", " + quoted(plan) + ", " + std::to_string(dayType) +
        ", " + quoted(zone) + ", " + booking + ", " + status + ")");
  }
  void zone(const std::string& number, const std::string& from, const std::string& to,
            const std::string& status = "NULL") {
    sql("INSERT INTO MVS402ZUZ VALUES (" + quoted(number) + ", " + from + ", " + to + ", " + status + ")");
  }
  void day(int calendar, int offset, int dayType) {
    sql("INSERT INTO MVS133KAL VALUES (" + std::to_string(calendar) + ", CURDATE() + INTERVAL " +
        std::to_string(offset) + " DAY, " + std::to_string(dayType) + ")");
  }

  std::string path(const std::string& type) const { return (layout.outDir() / (type + ".imp")).string(); }
  // Runs the program for the file type and returns the file it wrote.
  std::string run(const std::string& type) {
    EXPECT_EQ(runProgram(layout, {path(type), type}).exitCode, 0) << type;
    return readFile(path(type));
  }

  TestDatabase db;
  InstallLayout layout;
};

// The first 258 characters of every line (terminal, reader, weekday), in file order.
std::vector<std::string> dayKeys(const std::string& content) {
  std::vector<std::string> keys;
  std::size_t at = 0;
  for (std::size_t end = content.find("\r\n"); end != std::string::npos; end = content.find("\r\n", at)) {
    keys.push_back(content.substr(at, std::min<std::size_t>(end - at, 258)));
    at = end + 2;
  }
  return keys;
}

}  // namespace

TEST_F(TerminalFilesTest, TimePlanOfTheReaderOrItsAreaWithEveryKindOfWeekday) {
  area("A1", "P1", 1);
  reader("T1", 7, "A1");        // no plan of its own: the area's P1
  reader("T1", 12, "A1", "P2");  // its own plan P2
  day(1, 0, 1);
  day(1, 1, 2);
  day(1, 2, 3);
  entry("A1", "P1", 1, "Z1");
  entry("A1", "P1", 3, "ZN");  // a zone whose only window has no from-time
  entry("A1", "P2", 2, "Z2");
  zone("Z1", "450", "720");
  zone("Z1", "0", "1439");
  zone("ZN", "NULL", "600");
  zone("Z2", "1020", "1080");
  const std::string content = run("20P");
  EXPECT_EQ(sortedLines(content),
            sortedLines(l20("T1", "07", "1", "Z1", "0730", "1200") + l20("T1", "07", "1", "Z1", "0000", "2359") +
                        l20("T1", "07", "2") +  // a weekday without zone; weekday 3 has no line at all
                        l20("T1", "12", "1") + l20("T1", "12", "2", "Z2", "1700", "1800") + l20("T1", "12", "3")));
  const std::string t1 = std::string("T1") + std::string(253, ' ');
  EXPECT_EQ(dayKeys(content), (std::vector<std::string>{t1 + "071", t1 + "071", t1 + "072", t1 + "121",
                                                        t1 + "122", t1 + "123"}));
}

TEST_F(TerminalFilesTest, QuotedAndOverlongKeysStillFindTheirZones) {
  const std::string longName = std::string(255, 'L') + "TAIL";
  area("A1", "P1", 1);
  reader("O'Brien Tor", 1, "A1");
  reader(longName, 2, "A1");
  day(1, 0, 1);
  entry("A1", "P1", 1, "ZONE12");
  zone("ZONE12", "480", "540");
  EXPECT_EQ(run("20P"), l20(longName.substr(0, 255), "02", "1", "ZONE1", "0800", "0900") +
                            l20("O'Brien Tor", "01", "1", "ZONE1", "0800", "0900"));
  EXPECT_EQ(run("35P").size(), 2u * 284u);
  EXPECT_EQ(run("41P"), l41(longName.substr(0, 255), "P1", "02", "ZONE1", "1", "0800", "0900") +
                            l41("O'Brien Tor", "P1", "01", "ZONE1", "1", "0800", "0900"));
}

TEST_F(TerminalFilesTest, StatusFourAndEightLeaveRowsOutInEveryTableAndNullKeepsThem) {
  area("A1", "P1", 1);
  area("A8", "P1", 1, "8");
  reader("OK", 1, "A1");
  reader("OK", 2, "A1", "NULL", "0");
  reader("R4", 1, "A1", "NULL", "4");
  reader("R8", 1, "A1", "NULL", "8");
  reader("RA", 1, "A8");
  day(1, 0, 1);
  entry("A1", "P1", 1, "Z1");
  entry("A1", "P1", 1, "Z4", "NULL", "4");
  entry("A1", "P1", 1, "Z8", "NULL", "8");
  entry("A1", "P1", 1, "ZZ", "NULL", "0");  // its zone has status 4
  zone("Z1", "60", "120", "0");
  zone("Z4", "60", "120");
  zone("Z8", "60", "120");
  zone("ZZ", "60", "120", "4");
  EXPECT_EQ(run("20P"), l20("OK", "01", "1", "Z1", "0100", "0200") + l20("OK", "02", "1", "Z1", "0100", "0200"));
  EXPECT_EQ(sortedLines(run("35P")),
            sortedLines(l35("OK", "P1", "01", "A1", "Z1", "0") + l35("OK", "P1", "01", "A1", "ZZ", "0") +
                        l35("OK", "P1", "02", "A1", "Z1", "0") + l35("OK", "P1", "02", "A1", "ZZ", "0")));
  EXPECT_EQ(run("41P"), l41("OK", "P1", "01", "Z1", "1", "0100", "0200") +
                            l41("OK", "P1", "02", "Z1", "1", "0100", "0200"));
}

TEST_F(TerminalFilesTest, OnlyTheSevenDaysFromTodayCount) {
  area("A1", "P1", 1);
  reader("T1", 1, "A1");
  for (const int offset : {-1, 0, 6, 7}) day(1, offset, 1);
  entry("A1", "P1", 1, "Z1");
  zone("Z1", "60", "120");
  EXPECT_EQ(run("20P"), l20("T1", "01", "1", "Z1", "0100", "0200") + l20("T1", "01", "7", "Z1", "0100", "0200"));
  EXPECT_EQ(run("41P"), l41("T1", "P1", "01", "Z1", "1", "0100", "0200") +
                            l41("T1", "P1", "01", "Z1", "7", "0100", "0200"));
}

TEST_F(TerminalFilesTest, AuthorizationsWithTheBookingFlagReducedToOneOrZero) {
  area("A1", "P1", 1);
  area("A2", "P1", 1);
  reader("T1", 3, "A1");
  entry("A1", "P1234", 1, "Z0");  // a class too long for the week-plan field
  entry("A1", "P1", 1, "Z1", "0");
  entry("A1", "P1", 1, "Z2", "1");
  entry("A1", "P1", 2, "Z2", "1");  // differs only in day type: the same line
  entry("A1", "P1", 1, "Z3", "2");
  entry("A1", "P1", 1, "Z4", "10");
  entry("A1", "P1", 1, "Z5", "-1");
  entry("A2", "P1", 1, "Z6", "1");  // another area's entry
  EXPECT_EQ(sortedLines(run("35P")),
            sortedLines(l35("T1", "P1234", "03", "A1", "Z0", "0") + l35("T1", "P1", "03", "A1", "Z1", "0") +
                        l35("T1", "P1", "03", "A1", "Z2", "1") + l35("T1", "P1", "03", "A1", "Z3", "0") +
                        l35("T1", "P1", "03", "A1", "Z4", "0") + l35("T1", "P1", "03", "A1", "Z5", "0")));
}

TEST_F(TerminalFilesTest, TimeZonesOfEveryPlanOfTheAreaInTheirOrder) {
  area("A1", "P1", 1);
  reader("T2", 5, "A1");
  reader("T1", 12, "A1", "P9");  // its own plan does not narrow the time zones
  reader("T1", 4, "A1");
  day(1, 0, 1);
  day(1, 1, 2);
  day(1, 3, 1);
  entry("A1", "P2", 2, "Z3");
  entry("A1", "P1", 1, "Z1");
  entry("A1", "P1", 1, "Z2");
  entry("A1", "P1", 3, "Z4");  // no calendar day of this type
  zone("Z1", "480", "720");
  zone("Z2", "0", "1440");
  zone("Z3", "1020", "1080");
  zone("Z4", "0", "60");
  const auto p1 = [](const std::string& terminal, const std::string& number) {
    std::string lines;
    for (const std::string weekday : {"1", "4"}) {
      lines += l41(terminal, "P1", number, "Z2", weekday, "0000", "2400") +
               l41(terminal, "P1", number, "Z1", weekday, "0800", "1200");
    }
    return lines;
  };
  const auto p2 = [](const std::string& terminal, const std::string& number) {
    return l41(terminal, "P2", number, "Z3", "2", "1700", "1800");
  };
  EXPECT_EQ(run("41P"), p1("T1", "04") + p1("T1", "12") + p2("T1", "04") + p2("T1", "12") + p1("T2", "05") +
                            p2("T2", "05"));
}

TEST_F(TerminalFilesTest, EmptyDatabaseGivesEmptyFilesAndResultZero) {
  std::vector<std::string> log;
  for (const std::string type : {"20P", "35P", "41P"}) {
    writeFile(path(type), "old\r\n");
    EXPECT_EQ(run(type), "");
    log.push_back((type == "20P" ? "Importdatei: " : "Importdatei : ") + path(type) + " fuellen...");
    log.push_back("Import " + path(type) + " fertig.");
    log.push_back("Die Schnittstellendatei vom Dateityp '" + type + "' wurde erstellt!");
  }
  EXPECT_EQ(layout.logMessages(), log);
}

// In-process: a failing writer run as a process would wait between its attempts.
class TerminalFailureTest : public TerminalFilesTest {
 protected:
  void SetUp() override {
    TerminalFilesTest::SetUp();
    layout.enter();
    runState().DebugFlag = 0;
    runState().interfaceFilePath = path("out");
    area("A1", "P1", 1);
    reader("T1", 1, "A1");
    day(1, 0, 1);
    entry("A1", "P1", 1, "Z1");
    zone("Z1", "60", "120");
  }
  void TearDown() override {
    dbDisconnect();  // releases the tables before they are changed back
    for (const auto& statement : undo_) sql(statement);
  }
  void alter(const std::string& change, const std::string& undo) {
    sql(change);
    undo_.push_back(undo);
  }
  // Runs the writer on a fresh session; returns its result and the last two log messages.
  std::pair<int, std::vector<std::string>> run(Writer writer) {
    EXPECT_EQ(dbOpenSession(kProgramUser, kProgramPassword, "", kDatabaseName), RC_OK);
    const int result = writer();
    dbDisconnect();
    const auto log = layout.logMessages();
    EXPECT_EQ(readFile(runState().interfaceFilePath), "");
    if (log.size() < 2) return {result, log};
    return {result, {log.end() - 2, log.end()}};
  }
  std::vector<std::string> undo_;
};

TEST_F(TerminalFailureTest, MissingTableEndsEachWriterWithoutClosingMessage) {
  alter("RENAME TABLE MVS404ZBR TO ZBR_AWAY", "RENAME TABLE ZBR_AWAY TO MVS404ZBR");
  const std::string start = "Importdatei : " + runState().interfaceFilePath + " fuellen...";
  using Log = std::vector<std::string>;
  EXPECT_EQ(run(write20pFile), std::pair(2, Log{"Importdatei: " + runState().interfaceFilePath + " fuellen...",
                                               "Fehler in Fkt. SQLFetchS20P(). RC: 1146"}));
  EXPECT_EQ(run(write35pFile), std::pair(2, Log{start, "Fehler in Fkt. SQLOpenS35P(). RC: 1146"}));
  EXPECT_EQ(run(write41pFile), std::pair(2, Log{start, "Fehler in Fkt. SQLOpenS41P(). RC: 1146"}));
}

TEST_F(TerminalFailureTest, InnerTimePlanCursorsThatFailEndTheRun) {
  const std::string failed = "Import " + runState().interfaceFilePath + " fehlgeschlagen.";
  // Only the windows read the from-time, only the zones of a weekday read the day type.
  alter("ALTER TABLE MVS402ZUZ RENAME COLUMN ZUZVON TO VON_AWAY",
        "ALTER TABLE MVS402ZUZ RENAME COLUMN VON_AWAY TO ZUZVON");
  EXPECT_EQ(run(write20pFile).second, (std::vector<std::string>{"Fehler in Fkt. SQLOpenS20PUhrZeit(). RC: 1054", failed}));
  alter("ALTER TABLE MVS133KAL RENAME COLUMN KALTTP TO TTP_AWAY",
        "ALTER TABLE MVS133KAL RENAME COLUMN TTP_AWAY TO KALTTP");
  EXPECT_EQ(run(write20pFile), std::pair(2, std::vector<std::string>{"Fehler in Fkt. SQLFetchS20P(). RC: 1054", failed}));
}
