// Lookups from set statements against the same lookups sent row by row:
// a randomized database exported both ways gives the same file bytes, log
// messages and writer results; and the statements a run sends grow only
// with the keys the set statements cannot answer.
#include <gtest/gtest.h>
#include <mysql.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "export/balance/balance.h"
#include "export/master/master.h"
#include "export/terminal/terminal.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

struct Outcome {
  WriterResult result = WriterResult::kFileError;
  std::string file;
  std::vector<std::string> log;
  long statements = 0;  // sent by the writer's session
};

long sessionStatements(DbSession& session) {
  MYSQL* connection = session.connection.get();
  long count = -1;
  if (connection == nullptr || mysql_query(connection, "SHOW SESSION STATUS LIKE 'Questions'") != 0) return count;
  if (MYSQL_RES* result = mysql_store_result(connection)) {
    if (MYSQL_ROW row = mysql_fetch_row(result)) count = std::stol(row[1]);
    mysql_free_result(result);
  }
  return count;
}

// A text as a latin1 literal, byte for byte.
std::string literal(const std::string& text) {
  static const char* digits = "0123456789ABCDEF";
  std::string hex = "_latin1 X'";
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex + "'";
}

// The personnel numbers the data is built from: plain ones, and keys the
// set statements must leave to the server or answer exactly as it would:
// another case, a trailing blank, a byte above 0x7E, a quote, a backslash.
const std::vector<std::string> kPersons = {"P01", "P02",  "P03",       "P04",    "P05", "P06",
                                           "p01", "P02 ", "M\xFCller", "O'Hara", "X\\Y"};

// Random rows from a fixed seed.
class RandomRows {
 public:
  explicit RandomRows(unsigned seed) : random_(seed) {}

  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool often() { return below(5) != 0; }
  std::string number() {
    return often() ? std::to_string(below(2000) - 500) + "." + std::to_string(below(100)) : "NULL";
  }
  std::string integer(int n) { return often() ? std::to_string(below(n)) : "NULL"; }
  // NULL, empty, or a text with trailing blanks.
  std::string text() {
    static const char* const texts[] = {"NULL", "''", "'K1  '", "'K2'", "' '"};
    return texts[below(5)];
  }
  std::string day() {
    static const char* const days[] = {"CURDATE()", "CURDATE() - INTERVAL 1 DAY", "CURDATE() - INTERVAL 2 DAY",
                                       "CURDATE() - INTERVAL 9 DAY", "CURDATE() + INTERVAL 1 DAY"};
    return days[below(5)];
  }

  // 0 to 3 rows per person in every table of the badge and balance
  // lookups: several candidates for one key, NULL columns, holders
  // without rows.
  std::string personRows(const std::string& schema) {
    std::string sql;
    const auto insert = [&](const char* table, const std::string& values) {
      sql += "INSERT INTO " + schema + "." + table + " VALUES (" + values + ");";
    };
    for (const std::string& person : kPersons) {
      const std::string pnr = literal(person);
      for (int i = below(4); i > 0; --i) {
        insert("Mvs310Bsv", pnr + ", " + integer(3));
        insert("PERSONALSTAMM", pnr + ", " + text() + ", " + text());
        insert("mvs332urv", pnr + ", YEAR(NOW()) - " + std::to_string(below(2)) + ", " + number() + ", " + number() +
                                ", " + number());
        insert("mvs332utg", pnr + ", " + day() + ", " + number() + ", " + number() + ", " + number());
        insert("mvs332sfz", pnr + ", " + day() + ", " + number() + ", " + number() + ", " + number() + ", " + number() +
                                ", " + number());
        insert("mvs332sfv", pnr + ", YEAR(CURDATE() - INTERVAL 1 DAY) - " + std::to_string(below(2)) + ", " + number());
        std::string minutes;
        for (int m = 0; m < 14; ++m) minutes += ", " + (often() ? std::to_string(below(900) - 300) : "NULL");
        insert("mvs320tgb", pnr + ", " + day() + ", " + std::to_string(1 + below(2)) + minutes);
        insert("mvs327tag", pnr + ", " + day() + ", " + integer(7));
      }
    }
    return sql;
  }

 private:
  std::mt19937 random_;
};

class LookupTest : public WriterTest {
 protected:
  // Runs the writer in this process as the driver's attempt would, with
  // its lookups per row or from the set statements.
  Outcome run(Writer writer, bool perRow, double release = 0.0) {
    const std::string path = outPath(perRow ? "per-row.imp" : "set.imp");
    std::filesystem::remove(layout.logFile());
    layout.enter();
    ProgramSession program;
    program.context.interfaceFilePath = path;
    program.context.productVersion = release;
    program.context.perRowLookups = perRow;
    Outcome outcome;
    const long before = sessionStatements(program.session);
    outcome.result = writer(program.context);
    outcome.statements = sessionStatements(program.session) - before - 1;
    outcome.file = readFile(path);
    outcome.log = layout.logMessages();
    for (std::string& message : outcome.log) {
      if (const auto at = message.find(path); at != std::string::npos) message.replace(at, path.size(), "<file>");
    }
    return outcome;
  }

  // Both ways: the same file, log and result. Returns the set-based run.
  Outcome bothWays(Writer writer, double release = 0.0) {
    const Outcome perRow = run(writer, true, release);
    const Outcome set = run(writer, false, release);
    EXPECT_EQ(set.result, perRow.result);
    EXPECT_EQ(set.file, perRow.file);
    EXPECT_EQ(set.log, perRow.log);
    return set;
  }

  void addTenant(int n) {
    const std::string number = std::to_string(n);
    db.createTenantSchema("T" + number);
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('L" + number + "', 'M" +
            number + "', 'T" + number + "', '001', 0)");
  }
  void addBadge(int tenant, const std::string& badge, const std::string& person) {
    const std::string pnr = literal(person);
    const std::string number = std::to_string(tenant);
    db.exec("INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWPNR, ASWLIZ, ASWMND) VALUES (" + literal(badge) +
            ", NOW() - INTERVAL 1 DAY, " + pnr + ", 'L" + number + "', 'M" + number + "');" +
            "INSERT INTO MVSYSTEM.MVS113AWV VALUES (" + literal(badge) + ", 'STO', NULL);" + "INSERT INTO T" + number +
            ".MVS300PNR (PNRNUM, PNRNAM) VALUES (" + pnr + ", 'Name')");
  }
  // Badge numbers that differ in more than case or blanks: "B<tenant>-<n>".
  void addBadges(int tenant, const std::vector<std::string>& persons) {
    for (const std::string& person : persons) {
      addBadge(tenant, "B" + std::to_string(tenant) + "-" + std::to_string(++badges_), person);
    }
  }
  int badges_ = 0;

  void setUpPersons(unsigned seed) {
    RandomRows random(seed);
    // T1 as the tenant schemas are made; T2 with lookup key columns in
    // another character set or collation than the badges' ASWPNR; T3
    // without two of its lookup tables, so that its first badge fails.
    for (int tenant = 1; tenant <= 3; ++tenant) {
      addTenant(tenant);
      addBadges(tenant, kPersons);
      db.exec(random.personRows("T" + std::to_string(tenant)));
    }
    db.exec(
        "ALTER TABLE T2.Mvs310Bsv MODIFY BSVPNR VARCHAR(100) CHARACTER SET utf8mb4;"
        "INSERT INTO T2.Mvs310Bsv VALUES (_utf8mb4 X'4DC3BC6C6C6572', 1);"
        "ALTER TABLE T2.PERSONALSTAMM MODIFY PSTPNRNUM VARCHAR(100) COLLATE latin1_bin;"
        "ALTER TABLE T2.mvs332utg MODIFY UTGPNR VARCHAR(100) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;"
        "ALTER TABLE T2.mvs320tgb MODIFY TGBPNR VARCHAR(100) COLLATE latin1_german2_ci;"
        "DROP TABLE T3.PERSONALSTAMM; DROP TABLE T3.mvs327tag");
  }
};

TEST_F(LookupTest, BadgeAndBalanceFilesAreTheSameBothWays) {
  writeFile(layout.workDir() / "SaldoRXV.ini", "F01=SAN,SGE\r\nF02=SRS,SVP\r\nF03=SAT,SVJ\r\nF04=UGE,URS\r\n");
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    db.reset();
    setUpPersons(seed);
    for (const double release : {0.0, 5.4, 5.9}) {
      SCOPED_TRACE("release " + std::to_string(release));
      const Outcome idn = bothWays(writeIdnFile, release);
      EXPECT_EQ(idn.result, release >= 5.4 ? WriterResult::kDbError : WriterResult::kOk);  // T3 has no PERSONALSTAMM
    }
    const Outcome sld = bothWays(writeSaldoFile);
    EXPECT_EQ(sld.result, WriterResult::kDbError);  // T3 has no mvs327tag
    EXPECT_NE(sld.file.find("B2-"), std::string::npos);
  }
}

TEST_F(LookupTest, HolidayAndTimePlanFilesAreTheSameBothWays) {
  for (const unsigned seed : {4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    db.reset();
    RandomRows random(seed);
    std::string sql;
    // Holidays: terminals in three languages, day types whose dictionary
    // keys repeat, several or no texts per key, a tenant without dictionary.
    for (int tenant = 1; tenant <= 2; ++tenant) {
      addTenant(tenant);
      const std::string schema = "T" + std::to_string(tenant) + ".";
      for (int type = 1; type <= 6; ++type) {
        sql += "INSERT INTO " + schema + "MVS132TT2 VALUES (" + std::to_string(type * 11) + ", 'Tag" +
               std::to_string(type) + "', 'K', 1);";
        for (int i = random.below(3); i > 0; --i) {
          sql += "INSERT INTO " + schema + "MVS122DI2 VALUES ('" + std::to_string(type * 11) + "#', 'TT2TXT', " +
                 std::to_string(random.below(3)) + ", " +
                 (random.often() ? "'Text " + std::to_string(random.below(99)) + "'" : "NULL") + ");";
        }
      }
      for (int day = 0; day < 25; ++day) {
        sql += "INSERT INTO " + schema + "MVS133KA2 VALUES (" + std::to_string(1 + random.below(2)) +
               ", CURDATE() + INTERVAL " + std::to_string(day * 7 - 30) + " DAY, " +
               std::to_string(11 * (1 + random.below(6))) + ");";
      }
    }
    sql += "DROP TABLE T2.MVS122DI2;";
    // Time plans: readers of two areas, some with their own plan; zones
    // shared between plans, with none, one or several windows.
    sql += "INSERT INTO MVSYSTEM.MVS402ZKO VALUES ('A1', 'PL1', 1, NULL), ('A2', 'PL2', 1, NULL);";
    for (int terminal = 1; terminal <= 6; ++terminal) {
      const std::string name = "'TRM" + std::to_string(terminal) + "'";
      sql += "INSERT INTO MVSYSTEM.MVS1140TRM VALUES (" + name + ", " + random.integer(3) + ");";
      for (int reader = 1; reader <= 2; ++reader) {
        sql += "INSERT INTO MVSYSTEM.MVS401ZLS VALUES (" + name + ", " + std::to_string(reader) + ", 'A" +
               std::to_string(1 + random.below(2)) + "', " + (random.below(4) == 0 ? "'PL3'" : "NULL") + ", NULL);";
      }
    }
    for (int plan = 1; plan <= 3; ++plan) {
      for (int type = 1; type <= 3; ++type) {
        for (int i = random.below(3); i > 0; --i) {
          sql += "INSERT INTO MVSYSTEM.MVS404ZBR VALUES ('A1', 'PL" + std::to_string(plan) + "', " +
                 std::to_string(type) + ", 'Z" + std::to_string(random.below(5)) + "', 1, NULL);";
        }
      }
    }
    for (int zone = 0; zone < 5; ++zone) {
      for (int i = random.below(4); i > 0; --i) {
        sql += "INSERT INTO MVSYSTEM.MVS402ZUZ VALUES ('Z" + std::to_string(zone) + "', " + random.integer(1440) +
               ", " + std::to_string(random.below(1440)) + ", NULL);";
      }
    }
    for (int day = 0; day < 7; ++day) {
      const std::string date = "CURDATE() + INTERVAL " + std::to_string(day) + " DAY";
      sql += "INSERT INTO MVSYSTEM.MVS133KAL VALUES (1, " + date + ", " + std::to_string(1 + random.below(3)) + ");";
      sql += "INSERT INTO MVSYSTEM.MVS133BAK (BAKDTM, BAKWTG) VALUES (" + date + ", DAYOFWEEK(" + date + "));";
    }
    db.exec(sql);

    const Outcome ftg = bothWays(writeFtgFile);
    EXPECT_EQ(ftg.result, WriterResult::kOk);
    const Outcome timePlans = bothWays(write20pFile);
    EXPECT_EQ(timePlans.result, WriterResult::kOk);
    EXPECT_FALSE(timePlans.file.empty());
  }
}

// The statements of a badge-file run at release 5.9 do not grow with the
// badges; each key that the set statements cannot answer costs its per-row
// statements, and a lookup table the join cannot use sends every key per row.
TEST_F(LookupTest, KeysTheSetStatementsCannotAnswerGoPerRow) {
  const std::vector<std::string> plain = {"P01", "P02", "P03", "P04", "P05", "P06"};
  struct Case {
    const char* what;
    std::vector<std::string> persons;  // badges besides the plain ones
    const char* sql;                   // besides one row per plain key in both lookup tables
    long perRowStatements;
  };
  const Case cases[] = {
      {"only plain keys", {}, "", 0},
      {"more badges", {"P07", "P08", "P09"}, "", 0},  // holders without rows
      {"two candidate rows for one key", {}, "INSERT INTO T1.Mvs310Bsv VALUES ('P03', 2)", 1},
      {"a key with a byte above 0x7E", {"M\xFCller"}, "", 2},
      {"a key also spelt in another case", {"p01"}, "", 2},
      {"a key with a trailing blank beside the same key without", {"P02 "}, "", 2},
      {"a lookup key column in another collation",
       {},
       "ALTER TABLE T1.PERSONALSTAMM MODIFY PSTPNRNUM VARCHAR(100) COLLATE latin1_general_cs",
       6},
      {"a lookup key column in another character set",
       {},
       "ALTER TABLE T1.Mvs310Bsv MODIFY BSVPNR VARCHAR(100) CHARACTER SET utf8mb4",
       6},
  };
  long baseline = -1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    db.reset();
    addTenant(1);
    addBadges(1, plain);
    addBadges(1, c.persons);
    for (const std::string& person : plain) {
      db.exec("INSERT INTO T1.Mvs310Bsv VALUES ('" + person + "', 1); INSERT INTO T1.PERSONALSTAMM VALUES ('" + person +
              "', 'K1', '2')");
    }
    if (*c.sql != '\0') db.exec(c.sql);
    const Outcome set = bothWays(writeIdnFile, 5.9);
    EXPECT_EQ(set.result, WriterResult::kOk);
    if (baseline < 0) baseline = set.statements;
    EXPECT_EQ(set.statements, baseline + c.perRowStatements);
  }
}

// The badges' personnel numbers in utf8mb4 with a binary collation: a
// lookup key column of the same collation is joined, and its non-ASCII key
// is asked per row (the quoted key reaches the server as latin1); a latin1
// key column compares otherwise than the join would, so all of its keys
// are asked per row.
TEST_F(LookupTest, Utf8mb4KeyColumns) {
  const std::string mueller = "_utf8mb4 X'4DC3BC6C6C6572'";
  // The system table keeps its column as the other tests know it.
  struct Restore {
    TestDatabase& db;
    ~Restore() {
      db.exec(
          "ALTER TABLE MVSYSTEM.MVS301ASW MODIFY ASWPNR VARCHAR(100) CHARACTER SET latin1 "
          "COLLATE latin1_swedish_ci NULL");
    }
  } restore{db};
  addTenant(1);
  db.exec(
      "ALTER TABLE MVSYSTEM.MVS301ASW MODIFY ASWPNR VARCHAR(100) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;"
      "ALTER TABLE T1.Mvs310Bsv MODIFY BSVPNR VARCHAR(100) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin");
  addBadges(1, {"P01", "p01", "P02"});
  db.exec(
      "INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWPNR, ASWLIZ, ASWMND) VALUES ('B-U', NOW() - INTERVAL 1 "
      "DAY, " +
      mueller + ", 'L1', 'M1'); INSERT INTO MVSYSTEM.MVS113AWV VALUES ('B-U', 'STO', NULL);" +
      "INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) VALUES (" + mueller + ", 'Name');" +
      "INSERT INTO T1.Mvs310Bsv VALUES ('P01', 1), ('P02', 2), (" + mueller + ", 2);" +
      "INSERT INTO T1.PERSONALSTAMM VALUES ('P01', 'K1', '1'), ('P02', 'K2', '2'), (_latin1 X'4DFC6C6C6572', 'KU', "
      "'U')");
  const Outcome perRow = run(writeIdnFile, true, 5.9);
  const Outcome set = bothWays(writeIdnFile, 5.9);
  // Of the 2 x 4 per-badge statements, the set path sends the BsvMap of
  // Mueller and the four cost-centre lookups, besides its two set statements.
  EXPECT_EQ(set.statements, perRow.statements - 8 + 5 + 2);
}

}  // namespace
