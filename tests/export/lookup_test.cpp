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
#include "db/lookup.h"
#include "export/balance/balance.h"
#include "export/balance/saldo_record.h"
#include "export/master/master.h"
#include "export/record.h"
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
// another case, a trailing blank, a quote, a backslash, a control byte, and
// the bytes above 0x7E (kept apart: rows for them make a lookup table one
// that only the server can match).
const std::vector<std::string> kAsciiPersons = {"P01", "P02", "P03",  "P04",    "P05",  "P06",
                                                "p01", "p02", "P02 ", "O'Hara", "X\\Y", "T\tab"};
const std::vector<std::string> kOtherPersons = {"M\xFCller", "m\xDCller"};

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
  std::string personRows(const std::string& schema, const std::vector<std::string>& persons) {
    std::string sql;
    const auto insert = [&](const char* table, const std::string& values) {
      sql += "INSERT INTO " + schema + "." + table + " VALUES (" + values + ");";
    };
    for (const std::string& person : persons) {
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
  // its lookups per row or from the set statements, on no file left from
  // an earlier run.
  Outcome run(Writer writer, bool perRow, double release = 0.0) {
    const std::string path = outPath(perRow ? "per-row.imp" : "set.imp");
    std::filesystem::remove(layout.logFile());
    std::filesystem::remove(path);
    ProgramSession program;
    layout.configure(program.env);
    program.context.interfaceFilePath = path;
    program.context.productVersion = release;
    program.context.perRowLookups = perRow;
    Outcome outcome;
    const long before = sessionStatements(program.session);
    outcome.result = writer(program.context);
    outcome.statements = sessionStatements(program.session) - before - 1;
    if (std::filesystem::exists(path)) outcome.file = readFile(path);
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

  // A run that wrote every badge's line, each as wide as its layout.
  void expectEveryBadge(const Outcome& outcome, const FileLayout& fileLayout) {
    EXPECT_EQ(outcome.result, WriterResult::kOk);
    std::size_t width = fileLayout.lineEnd.size();
    for (const FieldFormat& field : fileLayout.fields) width += field.width;
    std::size_t lines = 0;
    for (std::size_t at = 0; at < outcome.file.size(); at += width, ++lines) {
      EXPECT_EQ(outcome.file.find(fileLayout.lineEnd, at), at + width - fileLayout.lineEnd.size()) << "line " << lines;
    }
    EXPECT_EQ(outcome.file.size() % width, 0u);
    EXPECT_EQ(lines, static_cast<std::size_t>(badges_));
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

  // T1 as the tenant schemas are made, its rows in an index order that is
  // not the order of a plain read; T2 with lookup key columns in other
  // character sets and collations than the badges' ASWPNR; T3 with rows of
  // keys above 0x7E, which the client cannot match.
  void setUpPersons(unsigned seed) {
    RandomRows random(seed);
    std::vector<std::string> persons = kAsciiPersons;
    persons.insert(persons.end(), kOtherPersons.begin(), kOtherPersons.end());
    for (int tenant = 1; tenant <= 3; ++tenant) {
      addTenant(tenant);
      addBadges(tenant, persons);
      db.exec(random.personRows("T" + std::to_string(tenant), tenant == 3 ? persons : kAsciiPersons));
    }
    db.exec(
        "CREATE INDEX bsv ON T1.Mvs310Bsv (BSVPNR, BSVMAP); CREATE INDEX pst ON T1.PERSONALSTAMM (PSTPNRNUM, "
        "PSTZUOKST, PSTBSVKAL); CREATE INDEX urv ON T1.mvs332urv (URVPNR, URVJHR, URVVJR); CREATE INDEX utg ON "
        "T1.mvs332utg (UTGPNR, UTGDTM, UTGGUT); CREATE INDEX tgb ON T1.mvs320tgb (TGBPNR, TGBDTM, TGBSA1); CREATE "
        "INDEX tag ON T1.mvs327tag (TAGPNR, TAGTAG, TAGAKP);"
        "ALTER TABLE T2.Mvs310Bsv MODIFY BSVPNR VARCHAR(100) CHARACTER SET utf8mb4;"
        "INSERT INTO T2.Mvs310Bsv VALUES (_utf8mb4 X'4DC3BC6C6C6572', 1);"
        "ALTER TABLE T2.PERSONALSTAMM MODIFY PSTPNRNUM VARCHAR(100) COLLATE latin1_bin;"
        "INSERT INTO T2.PERSONALSTAMM VALUES (_latin1 X'4DFC6C6C6572', 'KU', 'U');"
        "ALTER TABLE T2.mvs332sfz MODIFY SFZPNR VARCHAR(100) CHARACTER SET utf8mb4;"
        "ALTER TABLE T2.mvs332utg MODIFY UTGPNR VARCHAR(100) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;"
        "ALTER TABLE T2.mvs332urv MODIFY URVPNR VARCHAR(100) COLLATE latin1_general_cs;"
        "ALTER TABLE T2.mvs320tgb MODIFY TGBPNR VARCHAR(100) COLLATE latin1_german2_ci");
  }
};

// Every run succeeds both ways, with a line for every badge.
TEST_F(LookupTest, BadgeAndBalanceFilesAreTheSameBothWays) {
  writeFile(layout.workDir() / "SaldoRXV.ini", "F01=SAN,SGE\r\nF02=SRS,SVP\r\nF03=SAT,SVJ\r\nF04=UGE,URS\r\n");
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    db.reset();
    badges_ = 0;
    setUpPersons(seed);
    for (const double release : {0.0, 5.4, 5.9}) {
      SCOPED_TRACE("release " + std::to_string(release));
      expectEveryBadge(bothWays(writeIdnFile, release), kIdnLayout);
    }
    expectEveryBadge(bothWays(writeSaldoFile), kSaldoLayout);
  }
}

// A tenant without two of its lookup tables fails at its first badge, with
// the messages of the per-row statements.
TEST_F(LookupTest, AMissingLookupTableFailsAsPerRow) {
  writeFile(layout.workDir() / "SaldoRXV.ini", "F01=SAN,SGE\r\n");
  RandomRows random(7);
  for (int tenant = 1; tenant <= 2; ++tenant) {
    addTenant(tenant);
    addBadges(tenant, kAsciiPersons);
    db.exec(random.personRows("T" + std::to_string(tenant), kAsciiPersons));
  }
  db.exec("DROP TABLE T2.PERSONALSTAMM; DROP TABLE T2.mvs327tag");
  for (const double release : {5.4, 5.9}) {
    EXPECT_EQ(bothWays(writeIdnFile, release).result, WriterResult::kDbError);
  }
  EXPECT_EQ(bothWays(writeSaldoFile).result, WriterResult::kDbError);
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
// statements, a lookup table the client cannot match costs the server's
// join, and one the join cannot use sends every key per row.
TEST_F(LookupTest, KeysTheSetStatementsCannotAnswerGoPerRow) {
  const std::vector<std::string> plain = {"P01", "P02", "P03", "P04", "P05", "P06"};
  struct Case {
    const char* what;
    std::vector<std::string> persons;  // badges besides the plain ones
    const char* sql;                   // besides one row per plain key in both lookup tables
    long moreStatements;
  };
  const Case cases[] = {
      {"only plain keys", {}, "", 0},
      {"more badges", {"P07", "P08", "P09"}, "", 0},  // holders without rows
      {"two candidate rows for one key", {}, "INSERT INTO T1.Mvs310Bsv VALUES ('P03', 2)", 1},
      {"a key with a byte above 0x7E", {"M\xFCller"}, "", 2},
      {"a key with a control byte", {"P\t1"}, "", 2},
      {"a key also spelt in another case", {"p01"}, "", 0},
      {"a key with a trailing blank beside the same key without", {"P02 "}, "", 0},
      {"a row of a key also spelt in another case", {}, "INSERT INTO T1.PERSONALSTAMM VALUES ('p04', 'K2', '2')", 1},
      {"a row of a key with a byte above 0x7E",
       {},
       "INSERT INTO T1.PERSONALSTAMM VALUES (_latin1 X'4DFC6C6C6572', 'K2', '2')",
       1},
      {"a lookup key column in a collation the client does not know",
       {},
       "ALTER TABLE T1.PERSONALSTAMM MODIFY PSTPNRNUM VARCHAR(100) COLLATE latin1_general_cs",
       7},
      {"a lookup key column in another character set",
       {},
       "ALTER TABLE T1.Mvs310Bsv MODIFY BSVPNR VARCHAR(100) CHARACTER SET utf8mb4",
       0},
      {"a binary lookup key column with a row of a key above 0x7E",
       {"p01"},
       "ALTER TABLE T1.Mvs310Bsv MODIFY BSVPNR VARCHAR(100) COLLATE latin1_bin;"
       "INSERT INTO T1.Mvs310Bsv VALUES (_latin1 X'4DFC6C6C6572', 2)",
       0},
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
    EXPECT_EQ(set.statements, baseline + c.moreStatements);
  }
}

// The badges' personnel numbers in utf8mb4 with a binary collation: a
// binary lookup key column is matched on the client, and the non-ASCII key
// is asked per row (the quoted key reaches the server as latin1); a latin1
// key column with a non-ASCII row goes to the server's join, which compares
// otherwise than the per-row statement would, so all of its keys are asked
// per row.
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
  // Mueller and the four cost-centre lookups, besides its two plain reads
  // and the cost centre's join.
  EXPECT_EQ(set.statements, perRow.statements - 8 + 5 + 3);
}

// The collations whose equality the client reproduces: over every printable
// ASCII character, alone and with a trailing blank, and the empty text, the
// server finds equal exactly the pairs the client does; in a binary
// collation no byte outside printable ASCII equals one of them.
TEST_F(LookupTest, ClientCollationsCompareAsTheServer) {
  std::vector<std::string> texts = {""};
  for (char c = 0x20; c <= 0x7E; ++c) {
    texts.emplace_back(1, c);
    texts.push_back(std::string(1, c) + " ");
  }
  std::vector<std::string> others;
  for (int byte = 1; byte <= 0xFF; ++byte) {
    if (byte < 0x20 || byte == 0x7F || byte >= 0xA0) others.emplace_back(1, static_cast<char>(byte));
  }
  db.exec("CREATE DATABASE IF NOT EXISTS test");
  for (const ClientCollation& collation : kClientCollations) {
    SCOPED_TRACE("collation " + std::to_string(collation.id));
    db.exec("DROP TABLE IF EXISTS test.keys_t");
    // A session of its own per table: its snapshot holds the table.
    ProgramSession program;
    std::string name;
    Cursor cursor;
    ASSERT_EQ(dbExecute(program.session, cursor,
                        "SELECT COLLATION_NAME, CHARACTER_SET_NAME FROM information_schema.COLLATIONS WHERE ID = " +
                            std::to_string(collation.id)),
              RC_OK);
    Row row;
    ASSERT_EQ(dbFetch(cursor, row), RC_OK);
    const std::string charset(row[1].view());
    db.exec("CREATE TABLE test.keys_t (n INT, v VARCHAR(4) CHARACTER SET " + charset + " COLLATE " +
            std::string(row[0].view()) + ")");
    std::string sql;
    for (std::size_t n = 0; n < texts.size() + others.size(); ++n) {
      const std::string& text = n < texts.size() ? texts[n] : others[n - texts.size()];
      sql += (sql.empty() ? "INSERT INTO test.keys_t VALUES (" : ", (") + std::to_string(n) + ", CONVERT(" +
             literal(text) + " USING " + charset + "))";
    }
    db.exec(sql);
    std::vector<std::pair<std::size_t, std::size_t>> server, client;
    Cursor pairs;
    ASSERT_EQ(dbExecute(program.session, pairs,
                        "SELECT a.n, b.n FROM test.keys_t a JOIN test.keys_t b ON a.v = b.v ORDER BY a.n, b.n"),
              RC_OK);
    while (dbFetch(pairs, row) == RC_OK) {
      const auto a = std::stoul(std::string(row[0].view())), b = std::stoul(std::string(row[1].view()));
      if (a < texts.size() && b < texts.size()) {
        server.emplace_back(a, b);
      } else if (!collation.foldsCase) {
        EXPECT_EQ(a, b) << "a byte outside printable ASCII equals another text";
      }
    }
    std::string left, right;
    for (std::size_t a = 0; a < texts.size(); ++a) {
      for (std::size_t b = 0; b < texts.size(); ++b) {
        ASSERT_TRUE(comparedKey(texts[a], collation.foldsCase, left));
        ASSERT_TRUE(comparedKey(texts[b], collation.foldsCase, right));
        if (left == right) client.emplace_back(a, b);
      }
    }
    EXPECT_EQ(server, client);
  }
  db.exec("DROP TABLE IF EXISTS test.keys_t");
}

// A lookup table holds on to nothing after its tenant.
TEST_F(LookupTest, TablesAreFreedAtTheTenantsEnd) {
  ProgramSession program;
  LookupTable table;
  RememberedStatements remembered;
  const std::string rows = "SELECT CONCAT('P', seq), seq FROM MVSYSTEM.seq_1_to_5000";
  EXPECT_EQ(table.load(program.session, "SELECT * FROM (" + rows + ") r", KeyMatching::kClient), LoadResult::kUsable);
  RememberedStatements::Replay replay;
  EXPECT_EQ(remembered.open(program.session, rows, replay), RC_OK);
  EXPECT_GT(table.held(), 5000u);
  EXPECT_GT(remembered.held(), 5000u);
  table.clear();
  remembered.clear();
  EXPECT_EQ(table.held(), 0u);
  EXPECT_EQ(remembered.held(), 0u);
}

}  // namespace
