// Statements sent pipelined against the same statements run one by one on
// the same session, against the private test server: each gets the RC and
// the rows it gets alone, and the session stays in step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_env.h"
#include "db/runtime.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

// A statement's RC and its rows, each row its values joined by "|".
struct Answer {
  RC rc = RC_FAILED;
  std::vector<std::string> rows;
  bool operator==(const Answer&) const = default;
};

Answer answerOf(RC rc, Cursor& cursor) {
  Answer answer{rc, {}};
  Row row;
  while (dbFetch(cursor, row) == RC_OK) {
    std::string text;
    for (unsigned column = 0; column < row.size(); ++column) {
      text += row[column] ? std::string(row[column].view()) : "NULL";
      text += '|';
    }
    answer.rows.push_back(text);
  }
  return answer;
}

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override { db.reset(); }

  TestDatabase db;
  ProgramSession program;
};

}  // namespace

TEST_F(PipelineTest, EveryStatementGetsWhatItGetsAlone) {
  // More statement text than one part holds, with long answers; and more
  // statements than one part holds, short ones with long answers: out at
  // once, they would fill the socket buffers both ways.
  std::vector<std::string> longOnes;
  std::vector<std::string> shortOnes;
  for (int i = 0; i < 100; ++i)
    longOnes.push_back("SELECT " + std::to_string(i) + ", '" + std::string(1500, 'x') + "'");
  for (int i = 0; i < 300; ++i) shortOnes.push_back("SELECT " + std::to_string(i) + ", REPEAT('x', 3000)");
  const struct {
    const char* name;
    std::vector<std::string> statements;
  } cases[] = {
      {"a failing statement in the middle",
       {"SELECT 1, NULL UNION ALL SELECT 2, 'b'", "SELECT * FROM MVSYSTEM.NO_SUCH_TABLE", "SELECT 3"}},
      {"failures one after another",
       {"SELECT NO_SUCH_COLUMN FROM MVSYSTEM.MVS112MND", "SELECT * FROM MVSYSTEM.NO_SUCH_TABLE", "SELECT 4"}},
      {"a statement without result set", {"DO 1", "SELECT 5"}},
      {"long statements", longOnes},
      {"many statements", shortOnes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Answer> alone;
    std::vector<PipelinedStatement> batch;
    for (const std::string& statement : c.statements) {
      Cursor cursor;
      const RC rc = dbExecute(program.session, cursor, statement);
      alone.push_back(answerOf(rc, cursor));
      batch.emplace_back().cursor.statement = statement;
    }
    dbExecutePipelined(program.session, batch);
    std::vector<Answer> pipelined;
    for (PipelinedStatement& statement : batch) pipelined.push_back(answerOf(statement.rc, statement.cursor));
    EXPECT_EQ(pipelined, alone);
    Cursor next;
    EXPECT_EQ(answerOf(dbExecute(program.session, next, "SELECT 'in step'"), next), (Answer{RC_OK, {"in step|"}}));
  }
}
