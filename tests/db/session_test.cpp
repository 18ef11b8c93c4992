// The connection, its reconnection policy and the statement runtime,
// against the private test server.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <thread>

#include <mysql.h>

#include "common/test_env.h"
#include "db/runtime.h"
#include "db/session.h"
#include "support/log.h"
#include "support/platform.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.reset();
    layout.configure(env);
    env.onPause = [this](unsigned long ms) {
      ++pauses;
      lastPause = ms;
    };
  }
  void TearDown() override { dbDisconnect(session); }
  void connect() { ASSERT_EQ(dbOpenSession(session, kProgramUser, kProgramPassword, "", kDatabaseName), RC_OK); }
  RC execute(Cursor& cursor, const char* statement) { return dbExecute(session, cursor, statement); }

  TestDatabase db;
  InstallLayout layout;
  ObservedEnv env;
  DbSession session{env};
  int pauses = 0;
  unsigned long lastPause = 0;
};

}  // namespace

TEST_F(SessionTest, RuntimeResultCodes) {
  connect();
  Cursor cursor;
  Row row;
  EXPECT_EQ(dbFetch(cursor, row), RC_FAILED);  // never executed
  EXPECT_EQ(dbCloseCursor(cursor), RC_FAILED);

  ASSERT_EQ(execute(cursor, "SELECT 'a', NULL FROM DUAL"), RC_OK);
  EXPECT_EQ(cursor.statement, "SELECT 'a', NULL FROM DUAL");  // the cursor keeps its statement
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_EQ(row[0].view(), "a");
  EXPECT_TRUE(row[1].isNull());
  EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS);
  EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS);
  EXPECT_EQ(dbCloseCursor(cursor), RC_OK);
  EXPECT_EQ(dbFetch(cursor, row), RC_FAILED);  // closed

  EXPECT_EQ(execute(cursor, "SET AUTOCOMMIT = 0"), RC_OK);  // no result set
  EXPECT_EQ(dbFetch(cursor, row), RC_FAILED);

  EXPECT_EQ(execute(cursor, "SELECT * FROM MVSYSTEM.NO_SUCH_TABLE"), 1146);

  // Two cursors open at once on the one connection.
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('a','1'),('b','2')");
  Cursor outer;
  Cursor inner;
  ASSERT_EQ(openCursor(session, outer, "SELECT LIZPRD FROM MVSYSTEM.MVS110LIZ ORDER BY 1"), RC_OK);
  ASSERT_EQ(dbFetch(outer, row), RC_OK);
  ASSERT_EQ(openCursor(session, inner, "SELECT LIZVER FROM MVSYSTEM.MVS110LIZ WHERE LIZPRD = '%s'",
                       std::string(row[0].view()).c_str()),
            RC_OK);
  Row innerRow;
  ASSERT_EQ(dbFetch(inner, innerRow), RC_OK);
  EXPECT_EQ(innerRow[0].view(), "1");
  ASSERT_EQ(dbFetch(outer, row), RC_OK);
  EXPECT_EQ(row[0].view(), "b");
}

TEST_F(SessionTest, QuotedValuesAreEscaped) {
  connect();
  // Each key holds one of the bytes that need escaping, alone, at its end
  // or beside others; stored through a hex literal, it must be found again.
  const std::string_view keys[] = {"\\",   "x\\",  "\\x",  "'",         "x'", "\"", std::string_view("\0", 1),
                                   "a\nb", "a\rb", "\x1a", "O'Brien\\x"};
  for (std::size_t i = 0; i < std::size(keys); ++i) {
    std::string hex;
    for (const char c : keys[i]) hex += formatText("%02X", static_cast<unsigned char>(c));
    db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES (0x" + hex + ", 'k" + std::to_string(i) + "')");
  }
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('plain', 'p'), ('x', 'decoy'), ('', 'empty')");
  EXPECT_EQ(sqlValue(session, "plain"), "plain");
  Cursor cursor;
  Row row;
  for (std::size_t i = 0; i < std::size(keys); ++i) {
    ASSERT_EQ(openCursor(session, cursor, "SELECT LIZVER FROM MVSYSTEM.MVS110LIZ WHERE LIZPRD = '%s'",
                         sqlValue(session, keys[i]).c_str()),
              RC_OK)
        << i;
    ASSERT_EQ(dbFetch(cursor, row), RC_OK) << i;
    EXPECT_EQ(row[0].view(), "k" + std::to_string(i));
    EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS) << i;
    dbCloseCursor(cursor);
  }
  // A value trying to change the statement's meaning stays a value.
  ASSERT_EQ(openCursor(session, cursor, "SELECT LIZVER FROM MVSYSTEM.MVS110LIZ WHERE LIZPRD = '%s'",
                       sqlValue(session, "x' OR '1'='1").c_str()),
            RC_OK);
  EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS);
  dbCloseCursor(cursor);

  EXPECT_TRUE(isPlainIdentifier("TENANT_01$"));
  EXPECT_FALSE(isPlainIdentifier(""));
  EXPECT_FALSE(isPlainIdentifier("a.b"));
  EXPECT_FALSE(isPlainIdentifier("x;drop"));
  EXPECT_FALSE(isPlainIdentifier("ABCDEFGHIJKLMNOPQRSTU"));              // longer than 20
  EXPECT_FALSE(isPlainIdentifier(std::string_view("MandA\0evil", 10)));  // checked at its full length
}

TEST_F(SessionTest, ValuesArriveByteForByteAsStored) {
  db.exec(
      "CREATE DATABASE bytes_check; "
      "CREATE TABLE bytes_check.t (l VARCHAR(10) CHARACTER SET latin1, u VARCHAR(10) CHARACTER SET utf8mb4); "
      "INSERT INTO bytes_check.t VALUES (_latin1 0x4FFC, _utf8mb4 0x4FC3BC)");
  connect();
  Cursor cursor;
  ASSERT_EQ(openCursor(session, cursor, "SELECT l, u FROM bytes_check.t"), RC_OK);
  Row row;
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_EQ(row[0].view(), "O\xFC");
  EXPECT_EQ(row[1].view(), "O\xC3\xBC");
  dbCloseCursor(cursor);
  // A key read from a Windows-1252 column finds its row again.
  ASSERT_EQ(openCursor(session, cursor, "SELECT COUNT(*) FROM bytes_check.t WHERE l = '%s'",
                       sqlValue(session, "O\xFC").c_str()),
            RC_OK);
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_EQ(row[0].view(), "1");
}

TEST_F(SessionTest, ProductVersion) {
  connect();
  double version = -1;
  EXPECT_EQ(readProductVersion(session, kProductPattern, version), RC_OK);  // max over no rows is NULL
  EXPECT_EQ(version, 0.0);
  dbDisconnect(session);  // the open transaction would not see rows added later
  db.exec(
      "INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('5817-002-A','05.30'), ('5817-002-B','05.40'),"
      " ('9999-001','09.90'), ('5817-002-C', NULL)");
  connect();
  EXPECT_EQ(readProductVersion(session, kProductPattern, version), RC_OK);
  EXPECT_DOUBLE_EQ(version, 5.4);
  const RC switched = dbSetSchema(session, "TENANT1");  // the server rejects the switch
  EXPECT_NE(switched, RC_OK);
  EXPECT_NE(switched, RC_STATEMENT_TOO_LONG);
}

TEST_F(SessionTest, ConnectLogsInWithTheCredentialsItIsGiven) {
  EXPECT_EQ(dbConnect(session, {"", kProgramUser, kProgramPassword}), RC_OK);
  EXPECT_TRUE(layout.logMessages().empty());
  EXPECT_EQ(session.user.view(), kProgramUser);

  EXPECT_EQ(dbConnect(session, {"", kProgramUser, "wrong"}), 1045);
  EXPECT_EQ(layout.logMessages(), std::vector<std::string>{"Datenbankverbindung fehlgeschlagen, Fehler: 1045"});
}

TEST_F(SessionTest, ReconnectTriesFiveTimesAMinuteApart) {
  EXPECT_EQ(dbConnect(session, {"", kProgramUser, "wrong"}), 1045);
  EXPECT_FALSE(dbReconnect(session));
  EXPECT_EQ(pauses, 5);  // after the fifth failure as well
  EXPECT_EQ(lastPause, 60000u);
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[1], "1. Versuch zur Wiederherstellung der Datenbankverbindung!");
  EXPECT_EQ(log[2], "Fehler dbConnect(dbReconnect)! RC: 1045 Versuch-Nr.: 1");
  EXPECT_EQ(log[10], "Fehler dbConnect(dbReconnect)! RC: 1045 Versuch-Nr.: 5");

  // The session keeps its credentials: the stored ones are used again.
  session.password.assign(kProgramPassword);
  EXPECT_TRUE(dbReconnect(session));
  EXPECT_EQ(pauses, 5);
  EXPECT_EQ(layout.logMessages().back(), "Die Verbindung zur Datenbank wurde wiederhergestellt!");
  Cursor cursor;
  EXPECT_EQ(execute(cursor, "SELECT 1"), RC_OK);
}

TEST_F(SessionTest, ReconnectionClosesThePreviousConnection) {
  // The server ends a closed connection's thread a moment after the client
  // hung up: the count settles within a deadline.
  const auto programConnections = [this] {
    std::string count;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      count = db.scalar("SELECT COUNT(*) FROM information_schema.processlist WHERE user = 'sstrxv'");
      if (count == "1") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return count;
  };
  session.user.assign(kProgramUser);
  session.password.assign(kProgramPassword);
  connect();
  EXPECT_EQ(programConnections(), "1");
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(dbReconnect(session));
  EXPECT_EQ(programConnections(), "1");
}

// A statement at its limit is never sent: every operation that would send
// it returns the one RC that ends the run. (The process's exit code 1 is
// tested with the program, tests/driver.)
TEST_F(SessionTest, OversizedStatementIsNotSent) {
  connect();
  const std::string big(2000, 'x');
  EXPECT_FALSE(formatStatement("%s", big.c_str()));
  EXPECT_EQ(formatStatement("%s", std::string(1999, 'y').c_str())->size(), 1999u);

  Cursor cursor;
  ASSERT_EQ(execute(cursor, "SELECT 1"), RC_OK);
  EXPECT_EQ(openCursor(session, cursor, "SELECT '%s'", std::string(1991, 'x').c_str()), RC_STATEMENT_TOO_LONG);
  EXPECT_EQ(cursor.statement, "SELECT 1");  // nothing sent
  bool copied = false;
  EXPECT_EQ(readSingleRow(session, formatStatement("SELECT '%s'", big.c_str()), [&](const Row&) { copied = true; }),
            RC_STATEMENT_TOO_LONG);
  EXPECT_FALSE(copied);
  EXPECT_EQ(dbSetSchema(session, std::string(167, 'S')), RC_STATEMENT_TOO_LONG);  // 200 characters
  EXPECT_NE(dbSetSchema(session, std::string(166, 'S')), RC_STATEMENT_TOO_LONG);  // 199: sent, rejected
  EXPECT_TRUE(layout.logMessages().empty());
}

// The waits for the server as operators are told: at most 30 s for the
// connection, 10 minutes for each part of an answer or of a statement.
TEST_F(SessionTest, WaitsForTheServerAreBounded) {
  connect();
  const struct {
    mysql_option option;
    unsigned seconds;
  } cases[] = {{MYSQL_OPT_CONNECT_TIMEOUT, 30}, {MYSQL_OPT_READ_TIMEOUT, 600}, {MYSQL_OPT_WRITE_TIMEOUT, 600}};
  for (const auto& c : cases) {
    unsigned seconds = 0;
    ASSERT_EQ(mysql_get_option(session.connection.get(), c.option, &seconds), 0);
    EXPECT_EQ(seconds, c.seconds) << c.option;
  }
}
