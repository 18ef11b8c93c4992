// The time-plan file with its zone and window statements pipelined against
// the same file with every statement sent when the walk reaches it: the
// same bytes, log messages and writer result, over more reader weekdays
// than one batch holds, also when a statement in the middle of a batch
// fails or cannot be sent; and the session stays in step afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "export/terminal/terminal.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

struct Outcome {
  WriterResult result = WriterResult::kFileError;
  std::string file;
  std::vector<std::string> log;
  long statements = 0;  // the writer's statements the server ran
  long repeats = 0;     // of them sent more than once
};

// The first value of the statement's answer.
std::string firstValue(DbSession& session, const char* statement) {
  Cursor cursor;
  Row row;
  if (dbExecute(session, cursor, statement) != RC_OK || dbFetch(cursor, row) != RC_OK) return "";
  return std::string(row[0].view());
}

class TimePlanPipelineTest : public WriterTest {
 protected:
  // Wider columns for the cases, as a site may have them; the server's
  // general log shows the statements each run sent.
  void SetUp() override {
    WriterTest::SetUp();
    widen(true);
    db.exec("SET GLOBAL log_output = 'TABLE'; SET GLOBAL general_log = 1");
  }
  void TearDown() override {
    db.exec("SET GLOBAL general_log = 0; TRUNCATE mysql.general_log");
    db.reset();
    widen(false);
  }
  // 60 terminals of one area on the seven days from today: 420 reader
  // weekdays, with two, one or no zones by day type; then the case's data.
  void load(const std::string& data) {
    db.reset();
    db.exec(
        "USE MVSYSTEM;"
        "INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL);"
        "INSERT INTO MVS401ZLS SELECT CONCAT('T', LPAD(seq, 3, '0')), 1, 'A1', NULL, NULL FROM seq_0_to_59;"
        "INSERT INTO MVS133KAL SELECT 1, CURDATE() + INTERVAL seq DAY, seq MOD 3 + 1 FROM seq_0_to_6;"
        "INSERT INTO MVS133BAK (BAKDTM, BAKWTG) SELECT CURDATE() + INTERVAL seq DAY, seq + 1 FROM seq_0_to_6;"
        "INSERT INTO MVS404ZBR VALUES ('A1', 'P1', 1, 'Z1', NULL, NULL), ('A1', 'P1', 1, 'Z2', NULL, NULL),"
        " ('A1', 'P1', 2, 'Z2', NULL, NULL);"
        "INSERT INTO MVS402ZUZ VALUES ('Z1', 60, 120, NULL), ('Z1', 600, 700, NULL), ('Z2', 0, 1439, NULL)");
    if (!data.empty()) db.exec(data);
  }
  void widen(bool wide) {
    const std::string text = wide ? "VARCHAR(2000)" : "VARCHAR(100)";
    db.exec("USE MVSYSTEM; ALTER TABLE MVS402ZUZ MODIFY ZUZVON " + std::string(wide ? "BIGINT" : "INT") +
            " NULL, MODIFY ZUZNUM " + text + " NULL; ALTER TABLE MVS404ZBR MODIFY ZBRZZZ " + text + " NULL");
  }

  Outcome run(bool oneByOne) {
    const std::string path = outPath("20p.imp");
    std::filesystem::remove(path);
    std::filesystem::remove(layout.logFile());
    ProgramSession program;
    layout.configure(program.env);
    program.context.interfaceFilePath = path;
    program.context.perRowLookups = oneByOne;
    Outcome outcome;
    const std::string id = firstValue(program.session, "SELECT CONNECTION_ID()");
    outcome.result = write20pFile(program.context);
    EXPECT_EQ(firstValue(program.session, "SELECT 'in step'"), "in step");  // no answer left unread
    const std::string sent =
        " FROM mysql.general_log WHERE command_type = 'Query' AND argument LIKE '%FROM MVSYSTEM.%' AND thread_id = " +
        id;
    outcome.statements = std::stol(db.scalar("SELECT COUNT(*)" + sent));
    outcome.repeats = outcome.statements - std::stol(db.scalar("SELECT COUNT(DISTINCT argument)" + sent));
    outcome.file = std::filesystem::exists(path) ? readFile(path) : "";
    outcome.log = layout.logMessages();
    return outcome;
  }
};

// Terminals T001 to T003 (reader weekdays 7 to 27, early in the first
// batch, so that one by one sends fewer statements than the batch) get
// plans of their own.
const std::string kOwnPlan = "UPDATE MVSYSTEM.MVS401ZLS SET ZLSTFR = 'P' || ZLSTRM WHERE ZLSTRM = ";
// T002's zone ZB has a from-time that overflows the window statement's
// arithmetic (error 1690); T003's zone ZC comes after it in the batch.
const std::string kFailingWindow =
    kOwnPlan + "'T002'; " + kOwnPlan +
    "'T003'; INSERT INTO MVSYSTEM.MVS404ZBR VALUES ('A1', 'PT002', 1, 'ZB', NULL, NULL),"
    " ('A1', 'PT003', 1, 'ZC', NULL, NULL);"
    "INSERT INTO MVSYSTEM.MVS402ZUZ VALUES ('ZB', 9223372036854775807, 0, NULL), ('ZC', 0, 60, NULL);";
// T001's zone has a window statement that would reach the statement-length limit.
const std::string kOverlongWindow =
    kOwnPlan + "'T001'; INSERT INTO MVSYSTEM.MVS404ZBR VALUES ('A1', 'PT001', 2, '" + std::string(1990, 'L') +
    "', NULL, NULL); INSERT INTO MVSYSTEM.MVS402ZUZ VALUES ('" + std::string(1990, 'L') + "', 0, 60, NULL);";

}  // namespace

TEST_F(TimePlanPipelineTest, PipelinedIsTheSameAsOneByOne) {
  const struct {
    const char* name;
    std::string data;
    WriterResult result;
    bool sentAhead;  // more statements run than one by one: those after the failure, dropped
  } cases[] = {
      {"every weekday of every reader", "", WriterResult::kOk, false},
      {"a window statement failing in the middle of a batch", kFailingWindow, WriterResult::kDbError, true},
      {"a statement that cannot be sent ahead of a failing one", kOverlongWindow + kFailingWindow,
       WriterResult::kStatementTooLong, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(c.data);
    const Outcome oneByOne = run(true);
    const Outcome pipelined = run(false);
    EXPECT_EQ(pipelined.result, c.result);
    EXPECT_EQ(pipelined.result, oneByOne.result);
    EXPECT_EQ(pipelined.file, oneByOne.file);
    EXPECT_EQ(pipelined.log, oneByOne.log);
    EXPECT_EQ(pipelined.statements > oneByOne.statements, c.sentAhead);
    EXPECT_EQ(pipelined.repeats, 0);
  }
}
