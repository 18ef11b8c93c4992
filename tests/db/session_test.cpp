// The connection, its reconnection policy and the statement runtime,
// against the private test server.
#include <gtest/gtest.h>

#include "common/test_env.h"
#include "db/runtime.h"
#include "db/session.h"
#include "support/log.h"
#include "support/platform.h"
#include "support/run_state.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

int pauses = 0;
unsigned long lastPause = 0;
void countPause(unsigned long ms) {
  ++pauses;
  lastPause = ms;
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.reset();
    layout.enter();
    runState().DebugFlag = 0;
    pauses = 0;
    platform::replacePause(countPause);
  }
  void TearDown() override {
    platform::replacePause(nullptr);
    dbDisconnect();
  }
  void connect() {
    ASSERT_EQ(dbOpenSession(kProgramUser, kProgramPassword, "", kDatabaseName), RC_OK);
  }

  TestDatabase db;
  InstallLayout layout;
};

}  // namespace

TEST_F(SessionTest, RuntimeResultCodes) {
  connect();
  Cursor cursor;
  Row row;
  EXPECT_EQ(dbFetch(cursor, row), RC_FAILED);  // never executed
  EXPECT_EQ(dbCloseCursor(cursor), RC_FAILED);

  cursor.statement = "SELECT 'a', NULL FROM DUAL";
  ASSERT_EQ(dbExecute(cursor), RC_OK);
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_STREQ(row[0], "a");
  EXPECT_EQ(row[1], nullptr);
  EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS);
  EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS);
  EXPECT_EQ(dbCloseCursor(cursor), RC_OK);
  EXPECT_EQ(dbFetch(cursor, row), RC_FAILED);  // closed

  cursor.statement = "SET AUTOCOMMIT = 0";  // no result set
  EXPECT_EQ(dbExecute(cursor), RC_OK);
  EXPECT_EQ(dbFetch(cursor, row), RC_FAILED);

  cursor.statement = "SELECT * FROM MVSYSTEM.NO_SUCH_TABLE";
  EXPECT_EQ(dbExecute(cursor), 1146);

  // Two cursors open at once on the one connection.
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('a','1'),('b','2')");
  Cursor outer;
  Cursor inner;
  ASSERT_EQ(openCursor(outer, "SELECT LIZPRD FROM MVSYSTEM.MVS110LIZ ORDER BY 1"), RC_OK);
  ASSERT_EQ(dbFetch(outer, row), RC_OK);
  ASSERT_EQ(openCursor(inner, "SELECT LIZVER FROM MVSYSTEM.MVS110LIZ WHERE LIZPRD = '%s'", row[0]), RC_OK);
  Row innerRow;
  ASSERT_EQ(dbFetch(inner, innerRow), RC_OK);
  EXPECT_STREQ(innerRow[0], "1");
  ASSERT_EQ(dbFetch(outer, row), RC_OK);
  EXPECT_STREQ(row[0], "b");
}

TEST_F(SessionTest, QuotedValuesAreEscaped) {
  connect();
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('O''Brien\\\\x', 'found'), ('plain', 'p')");
  EXPECT_EQ(sqlValue("plain"), "plain");
  Cursor cursor;
  ASSERT_EQ(openCursor(cursor, "SELECT LIZVER FROM MVSYSTEM.MVS110LIZ WHERE LIZPRD = '%s'",
                       sqlValue("O'Brien\\x").c_str()),
            RC_OK);
  Row row;
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_STREQ(row[0], "found");
  dbCloseCursor(cursor);
  // A value trying to change the statement's meaning stays a value.
  ASSERT_EQ(openCursor(cursor, "SELECT LIZVER FROM MVSYSTEM.MVS110LIZ WHERE LIZPRD = '%s'",
                       sqlValue("x' OR '1'='1").c_str()),
            RC_OK);
  EXPECT_EQ(dbFetch(cursor, row), RC_NO_MORE_ROWS);
  dbCloseCursor(cursor);

  EXPECT_TRUE(isPlainIdentifier("TENANT_01$"));
  EXPECT_FALSE(isPlainIdentifier(""));
  EXPECT_FALSE(isPlainIdentifier("a.b"));
  EXPECT_FALSE(isPlainIdentifier("x;drop"));
  EXPECT_FALSE(isPlainIdentifier("ABCDEFGHIJKLMNOPQRSTU"));  // longer than 20
}

TEST_F(SessionTest, ValuesArriveByteForByteAsStored) {
  db.exec("CREATE DATABASE bytes_check; "
          "CREATE TABLE bytes_check.t (l VARCHAR(10) CHARACTER SET latin1, u VARCHAR(10) CHARACTER SET utf8mb4); "
          "INSERT INTO bytes_check.t VALUES (_latin1 0x4FFC, _utf8mb4 0x4FC3BC)");
  connect();
  Cursor cursor;
  ASSERT_EQ(openCursor(cursor, "SELECT l, u FROM bytes_check.t"), RC_OK);
  Row row;
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_EQ(std::string(row[0]), "O\xFC");
  EXPECT_EQ(std::string(row[1]), "O\xC3\xBC");
  dbCloseCursor(cursor);
  // A key read from a Windows-1252 column finds its row again.
  ASSERT_EQ(openCursor(cursor, "SELECT COUNT(*) FROM bytes_check.t WHERE l = '%s'", sqlValue("O\xFC").c_str()),
            RC_OK);
  ASSERT_EQ(dbFetch(cursor, row), RC_OK);
  EXPECT_STREQ(row[0], "1");
}

TEST_F(SessionTest, ProductVersion) {
  connect();
  double version = -1;
  EXPECT_EQ(readProductVersion(kProductPattern, version), RC_OK);  // max over no rows is NULL
  EXPECT_EQ(version, 0.0);
  dbDisconnect();  // the open transaction would not see rows added later
  db.exec("INSERT INTO MVSYSTEM.MVS110LIZ VALUES ('5817-002-A','05.30'), ('5817-002-B','05.40'),"
          " ('9999-001','09.90'), ('5817-002-C', NULL)");
  connect();
  EXPECT_EQ(readProductVersion(kProductPattern, version), RC_OK);
  EXPECT_DOUBLE_EQ(version, 5.4);
  EXPECT_EQ(dbSetSchema("TENANT1"), 0);  // the server rejects the switch
}

TEST_F(SessionTest, ConnectReadsTheEncipheredSettings) {
  layout.writeSettings("", kProgramUser, kProgramPassword);
  EXPECT_EQ(dbConnect(), RC_OK);
  EXPECT_TRUE(layout.logMessages().empty());
  EXPECT_EQ(dbSession().user.view(), kProgramUser);

  layout.writeSettings("", kProgramUser, "wrong");
  EXPECT_EQ(dbConnect(), 1045);
  EXPECT_EQ(layout.logMessages(), std::vector<std::string>{"Datenbankverbindung fehlgeschlagen, Fehler: 1045"});
}

TEST_F(SessionTest, ReconnectTriesFiveTimesAMinuteApart) {
  layout.writeSettings("", kProgramUser, "wrong");
  dbConnect();
  EXPECT_EQ(dbReconnect(), 0);
  EXPECT_EQ(pauses, 5);  // after the fifth failure as well
  EXPECT_EQ(lastPause, 60000u);
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[1], "1. Versuch zur Wiederherstellung der Datenbankverbindung!");
  EXPECT_EQ(log[2], "Fehler dbConnect(dbReconnect)! RC: 1045 Versuch-Nr.: 1");
  EXPECT_EQ(log[10], "Fehler dbConnect(dbReconnect)! RC: 1045 Versuch-Nr.: 5");

  // Credentials are read once: the stored ones are used again.
  dbSession().password.assign(kProgramPassword);
  EXPECT_EQ(dbReconnect(), 1);
  EXPECT_EQ(pauses, 5);
  EXPECT_EQ(layout.logMessages().back(), "Die Verbindung zur Datenbank wurde wiederhergestellt!");
  Cursor cursor;
  cursor.statement = "SELECT 1";
  EXPECT_EQ(dbExecute(cursor), RC_OK);
}

TEST_F(SessionTest, ReconnectionClosesThePreviousConnection) {
  dbSession().user.assign(kProgramUser);
  dbSession().password.assign(kProgramPassword);
  connect();
  const std::string before = db.scalar("SELECT COUNT(*) FROM information_schema.processlist WHERE user = 'sstrxv'");
  EXPECT_EQ(before, "1");
  for (int i = 0; i < 3; ++i) ASSERT_EQ(dbReconnect(), 1);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM information_schema.processlist WHERE user = 'sstrxv'"), "1");
}

TEST(StatementText, OversizedStatementEndsTheProcessWithCode1) {
  const std::string big(2000, 'x');
  EXPECT_EXIT(formatStatement("%s", big.c_str()), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(formatStatement("%s", std::string(1999, 'y').c_str()).size(), 1999u);
}
