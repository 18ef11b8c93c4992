// Selective creation: the flow and the five selective writers through a
// source that delivers rows, and the outcome on MySQL, where none of its
// operations is available.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "common/test_env.h"
#include "driver/driver.h"
#include "driver/selective.h"
#include "export/master/master.h"
#include "export/terminal/terminal.h"
#include "support/platform.h"

using namespace sstrxv;
using namespace sstrxv::test;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Cells = std::vector<std::optional<std::string>>;
using Rows = std::vector<Cells>;

namespace {

// Delivers stored rows by key; fails the n-th call of an operation on demand.
class ScriptedSource final : public SelectiveSource {
 public:
  std::vector<DownloadRow> downloads;
  std::map<std::string, std::string> schemas;  // by "tenant/second key"
  std::map<std::string, Strings> areas;        // by class
  std::map<std::string, Rows> ids, classes, s20p, s35p, s41p;
  std::map<std::string, std::pair<int, RC>> failAt;  // operation: its call number, its RC
  Strings calls;                                     // "operation(argument)"

  RC SQLOpenMvsAswDnl(std::string_view key) noexcept override { return call("SQLOpenMvsAswDnl", key); }
  RC SQLFetchMvsAswDnl(DownloadRow& row) noexcept override { return next("SQLFetchMvsAswDnl", downloads, row); }
  RC SQLCloseMvsAswDnl() noexcept override { return call("SQLCloseMvsAswDnl"); }
  RC SQLGetSchema(std::string_view tenant, std::string_view key, std::string& schema) noexcept override {
    const std::string both = std::string(tenant) + "/" + std::string(key);
    if (const RC rc = call("SQLGetSchema", both); rc != RC_OK) return rc;
    if (!schemas.contains(both)) return RC_NO_MORE_ROWS;
    schema = schemas[both];
    return RC_OK;
  }
  RC SQLOpenZKOzurBKL(std::string_view cls) noexcept override { return open("SQLOpenZKOzurBKL", cls, areas, areas_); }
  RC SQLFetchZKOzurBKL(std::string& area) noexcept override { return next("SQLFetchZKOzurBKL", *areas_, area); }
  RC SQLCloseZKOzurBKL() noexcept override { return call("SQLCloseZKOzurBKL"); }
  RC SQLOpenS20P_Sel(std::string_view area) noexcept override { return open("SQLOpenS20P_Sel", area, s20p, rows_); }
  RC SQLFetchS20P_Sel(Row& row) noexcept override { return fetch("SQLFetchS20P_Sel", row); }
  RC SQLCloseS20P_Sel() noexcept override { return call("SQLCloseS20P_Sel"); }
  RC SQLOpenS35P_Sel(std::string_view area) noexcept override { return open("SQLOpenS35P_Sel", area, s35p, rows_); }
  RC SQLFetchS35P_Sel(Row& row) noexcept override { return fetch("SQLFetchS35P_Sel", row); }
  RC SQLCloseS35P_Sel() noexcept override { return call("SQLCloseS35P_Sel"); }
  RC SQLOpenS41P_Sel(std::string_view area) noexcept override { return open("SQLOpenS41P_Sel", area, s41p, rows_); }
  RC SQLFetchS41P_Sel(Row& row) noexcept override { return fetch("SQLFetchS41P_Sel", row); }
  RC SQLCloseS41P_Sel() noexcept override { return call("SQLCloseS41P_Sel"); }
  RC SQLOpenAswBkl_Sel(std::string_view badge) noexcept override {
    return open("SQLOpenAswBkl_Sel", badge, classes, rows_);
  }
  RC SQLFetchAswBkl_Sel(Row& row) noexcept override { return fetch("SQLFetchAswBkl_Sel", row); }
  RC SQLCloseAswBkl_Sel() noexcept override { return call("SQLCloseAswBkl_Sel"); }
  RC SQLOpenIDS_Sel(std::string_view badge) noexcept override { return open("SQLOpenIDS_Sel", badge, ids, rows_); }
  RC SQLFetchIDS_Sel(Row& row) noexcept override { return fetch("SQLFetchIDS_Sel", row); }
  RC SQLCloseIDS_Sel() noexcept override { return call("SQLCloseIDS_Sel"); }

 private:
  RC call(const std::string& operation, std::string_view argument = {}) {
    calls.push_back(operation + "(" + std::string(argument) + ")");
    const auto failure = failAt.find(operation);
    const int number = ++callCount_[operation];
    return failure != failAt.end() && failure->second.first == number ? failure->second.second : RC_OK;
  }
  template <typename List>
  RC open(const std::string& operation, std::string_view key, std::map<std::string, List>& lists, List*& list) {
    list = &lists[std::string(key)];
    at_[list] = 0;
    return call(operation, key);
  }
  template <typename Item>
  RC next(const std::string& operation, const std::vector<Item>& list, Item& item) {
    if (const RC rc = call(operation); rc != RC_OK) return rc;
    std::size_t& at = at_[&list];
    if (at == list.size()) return RC_NO_MORE_ROWS;
    item = list[at++];
    return RC_OK;
  }
  RC fetch(const std::string& operation, Row& row) {
    const RC rc = next(operation, *rows_, cells_);
    values_.clear();
    lengths_.clear();
    for (auto& cell : cells_) {
      values_.push_back(cell ? cell->data() : nullptr);
      lengths_.push_back(cell ? cell->size() : 0);
    }
    if (rc == RC_OK) row = Row(values_.data(), lengths_.data(), static_cast<unsigned>(values_.size()));
    return rc;
  }

  std::map<std::string, int> callCount_;
  std::map<const void*, std::size_t> at_;
  Strings* areas_ = nullptr;
  Rows* rows_ = nullptr;
  Cells cells_;
  std::vector<char*> values_;
  std::vector<unsigned long> lengths_;
};

Cells badgeRow(const std::string& badge, const std::string& pnr) {
  return {badge, "S",   "20260101", std::nullopt, pnr, "Name",           "DE", "K", "PIN", "C", "G", "L1", "M1",
          "AT",  "AAN", "MT",       "SAL",        "1", "20260301061509", "adm"};
}
std::string idsLine(const std::string& badge, const std::string& pnr, const std::string& bsvMap,
                    const std::string& costCentre, const std::string& bsvKal) {
  return line({{badge, 50},  {"S", 8},    {"20260101", 8},  {"", 8},     {pnr, 8},
               {"Name", 50}, {"DE", 5},   {"K", 5},         {"PIN", 32}, {"C", 5},
               {"G", 5},     {"L1", 5},   {"M1", 5},        {"AT", 2},   {"AAN", 50},
               {"MT", 2},    {"SAL", 10}, {"", 5},          {"1", 5},    {"20260301061509", 14},
               {"adm", 50},  {bsvMap, 1}, {costCentre, 30}, {bsvKal, 3}});
}
std::string bklLine(const std::string& badge, const std::string& cls, const std::string& tenant,
                    const std::string& stm) {
  return line({{badge, 50}, {cls, 5}, {"L1", 5}, {tenant, 5}, {stm, 1}});
}

class SelectiveTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    db.createTenantSchema("T1");
    db.createTenantSchema("T2");
    db.exec("CREATE DATABASE T3; CREATE TABLE T3.Mvs310Bsv (BSVPNR VARCHAR(9), BSVMAP INT)");  // no personnel master
    db.exec(
        "INSERT INTO T1.Mvs310Bsv VALUES ('P1', 3); INSERT INTO T1.PERSONALSTAMM VALUES ('P1', 'K100 ', 'K7');"
        "USE MVSYSTEM; INSERT INTO MVS133BAK (BAKDTM, BAKWTG) VALUES (CURDATE(), 1);"
        "INSERT INTO MVS402ZKO VALUES ('A1', 'P1', 1, NULL); INSERT INTO MVS401ZLS VALUES ('T1', 7, 'A1', NULL, NULL);"
        "INSERT INTO MVS133KAL VALUES (1, CURDATE(), 1); INSERT INTO MVS404ZBR VALUES ('A1', 'P1', 1, 'Z1', NULL, "
        "NULL);"
        "INSERT INTO MVS402ZUZ VALUES ('Z1', 450, 720, NULL)");
    program = std::make_unique<ProgramSession>();
    layout.configure(program->env);
    program->context.interfaceFilePath = layout.outDir().string();
    program->context.productVersion = 5.9;
    script(source);
  }
  // Three download rows: a badge, no badge, a badge of another tenant.
  static void script(ScriptedSource& source) {
    source.downloads = {{"J", "M1", "K1", "B1"}, {"J", "M1", "K1", ""}, {"J", "M2", "K2", "B2"}};
    source.schemas = {{"M1/K1", "T1"}, {"M2/K2", "T2"}};
    source.ids = {{"B1", {badgeRow("B1", "P1")}}, {"B2", {badgeRow("B2", "Q1")}}};
    source.classes = {{"B1", {{"B1", "C1", "L1", "M1", "1"}, {"B1", "C2", "L1", "M1", "0"}}},
                      {"B2", {{"B2", "C1", "L1", "M2", std::nullopt}}}};
    source.areas = {{"C1", {"A1", "", "A2"}}, {"C2", {"A1"}}};
    // The weekday of today has a zone with a window; weekday 2 has none.
    source.s20p = {{"A1", {{"T1", "07", "1"}, {"T1", "07", "2"}}}};
    source.s35p = {{"A1", {{"T1", "001", "P1", "07", "07", "P1", "A1", "Z1", "5"}}},
                   {"A2", {{"T2", "001", "P2", "01", "01", "P2", "A2", "Z2", "1"}}}};
    source.s41p = {{"A1", {{"T1", "001", "P1", "07", "Z1", "1", "0730", "1200"}}}};
  }
  std::string file(const std::string& name) const { return layout.outDir().string() + "//" + name + "_upd.imp"; }
  std::string missing() const { return (layout.root() / "missing").string(); }
  WriterResult select(ScriptedSource& from) {
    SelectiveRun run{program->context, from, marks};
    return Fill_SelAswDnl(run, "KEY");
  }
  WriterResult select() { return select(source); }

  std::unique_ptr<ProgramSession> program;
  ScriptedSource source;
  SelectiveMarks marks;
};

}  // namespace

TEST_F(SelectiveTest, EveryBadgeAndEveryAreaItsClassesReachIsWrittenAndAppendedAcrossCalls) {
  const Strings names = {"idstamm", "aswbkl", "mgsst20p", "mgsst35p", "mgsst41p"};
  for (const auto& name : names) writeFile(file(name), "stale\r\n");
  ASSERT_EQ(select(), WriterResult::kOk);
  // Badge lines with the BsvMap and cost-centre lookups in the schema of their tenant. The row
  // without badge reaches no area: the class list is emptied after every row. Areas in the order
  // reached: A1, A2 (class C1 of B1), A1 (C2), A1, A2 (C1 of B2).
  const std::string a1_20 = line({{"T1", 255}, {"07", 2}, {"1", 1}, {"Z1", 5}, {"0730", 4}, {"1200", 4}}) +
                            line({{"T1", 255}, {"07", 2}, {"2", 1}, {"", 5}, {"", 4}, {"", 4}});
  const std::string a1_35 =
      line({{"T1", 255}, {"001", 3}, {"P1", 5}, {"07", 2}, {"07", 2}, {"P1", 3}, {"A1", 5}, {"Z1", 5}, {"0", 1}});
  const std::string a2_35 =
      line({{"T2", 255}, {"001", 3}, {"P2", 5}, {"01", 2}, {"01", 2}, {"P2", 3}, {"A2", 5}, {"Z2", 5}, {"1", 1}});
  const std::string a1_41 =
      line({{"T1", 255}, {"001", 3}, {"P1", 3}, {"07", 2}, {"Z1", 5}, {"1", 1}, {"0730", 4}, {"1200", 4}});
  const Strings expected = {
      idsLine("B1", "P1", "3", "K100", "K7") + idsLine("B2", "Q1", "0", "", ""),
      bklLine("B1", "C1", "M1", "1") + bklLine("B1", "C2", "M1", "0") + bklLine("B2", "C1", "M2", ""),
      a1_20 + a1_20 + a1_20, a1_35 + a2_35 + a1_35 + a1_35 + a2_35, a1_41 + a1_41 + a1_41};
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(readFile(file(names[i])), expected[i]) << names[i];

  Strings log;
  const auto done = [&](const std::string& name) { log.push_back("Import " + file(name) + " fertig."); };
  const auto badge = [&](const std::string& number) {
    log.push_back("Importdatei: " + file("idstamm") + " fuellen  Ausweisnummer: " + number);
    done("idstamm");
    log.push_back("Importdatei : " + file("aswbkl") + " fuellen...");
    done("aswbkl");
  };
  const auto area = [&](const std::string& number) {
    done("mgsst20p");  // the time-plan and time-zone writers log their start only with /D
    log.push_back("Importdatei: " + file("mgsst35p") + " fuellen: Kontrollbereich: " + number);
    done("mgsst35p");
    done("mgsst41p");
  };
  badge("B1"), area("A1"), area("A2"), area("A1"), badge("B2"), area("A1"), area("A2");
  log.push_back("Selektiver Import fertig.");
  EXPECT_EQ(layout.logMessages(), log);
  EXPECT_EQ(program->context.currentSchema.view(), "T2");
  EXPECT_EQ(program->context.tenant, nullptr);

  // A second run in the same process appends to every file.
  ScriptedSource again;
  script(again);
  ASSERT_EQ(select(again), WriterResult::kOk);
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(readFile(file(names[i])), expected[i] + expected[i]) << names[i];
}

TEST_F(SelectiveTest, FailuresEndTheRunWithTheirMessagesAndResults) {
  const std::string zonesDone = "Import " + file("mgsst41p") + " fertig.", failed = "Selektiver Import fehlgeschlagen.";
  struct Case {
    std::string operation;  // fails on its call number `call` with `rc`
    int call;
    RC rc;
    WriterResult result;
    Strings tail;            // the last messages of the log
    std::size_t badgeLines;  // lines in idstamm_upd.imp
  };
  const std::vector<Case> cases = {
      // The third row finds no schema: done after two rows.
      {"SQLGetSchema", 3, 1032, WriterResult::kOk, {zonesDone, "Selektiver Import fertig."}, 1},
      {"SQLGetSchema",
       1,
       2013,
       WriterResult::kDbError,
       {"Fehler bei der Funktion SQLGetSchema(). RC: 2013", failed},
       0},
      // Reading the download list fails after its first row: that row is still written.
      {"SQLFetchMvsAswDnl", 2, 2013, WriterResult::kDbError, {zonesDone, failed}, 1},
      // A writer fails in the first area: its result ends the run at once.
      {"SQLFetchS35P_Sel",
       2,
       2006,
       WriterResult::kDbError,
       {"Fehler in Fkt. SQLFetchS35P_Sel(). RC: 2006", "Import " + file("mgsst35p") + " fehlgeschlagen.",
        "Fehler in Fill_MGSST35P_Upd(). RC: 2", failed},
       1},
      {"SQLOpenZKOzurBKL", 1, 2013, WriterResult::kDbError, {"Fehler bei SQLOpenMvsAswDnl! RC: 2013", failed}, 1},
      {"SQLFetchZKOzurBKL",
       2,
       2013,
       WriterResult::kDbError,
       {zonesDone, "Fehler in SQLFetchZKOzurBKL(). RC: 2013", failed},
       1},
      // No file can be opened: the writer's result 1 is the result.
      {"missing directory",
       0,
       0,
       WriterResult::kFileError,
       {"Oeffnen der Datei " + missing() + "//idstamm_upd.imp fehlgeschlagen", "Fehler in Fill_IDSTAMM_Upd(). RC: 1",
        failed},
       0},
      // Below release 5.4 the selective badge writer still reads the cost centre.
      {"release 5.3, tenant T3",
       0,
       0,
       WriterResult::kDbError,
       {"Fehler in Fkt. SQLReadKst(Kal)(). RC: 1146", "Import " + file("idstamm") + " fehlgeschlagen.",
        "Fehler in Fill_IDSTAMM_Upd(). RC: 2", failed},
       0},
      // A schema name that is no plain identifier never reaches a statement.
      {"schema T1;DROP",
       0,
       0,
       WriterResult::kDbError,
       {"Ungueltiger Schemaname: T1;DROP", "Fehler bei der Funktion SQLGetSchema(). RC: -1", failed},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    fs::remove_all(layout.outDir());
    fs::create_directories(layout.outDir());
    fs::remove(layout.logFile());
    ScriptedSource failing;
    script(failing);
    failing.failAt[c.operation] = {c.call, c.rc};
    if (c.operation == "schema T1;DROP") failing.schemas["M1/K1"] = "T1;DROP";
    if (c.operation == "release 5.3, tenant T3") failing.schemas["M1/K1"] = "T3";
    program->context.productVersion = c.operation == "release 5.3, tenant T3" ? 5.3 : 5.9;
    program->context.interfaceFilePath = c.operation == "missing directory" ? missing() : layout.outDir().string();
    program->context.currentSchema.assign(kDefaultSchema);
    marks = SelectiveMarks();

    EXPECT_EQ(select(failing), c.result);
    const Strings log = layout.logMessages();
    ASSERT_GE(log.size(), c.tail.size());
    EXPECT_EQ(Strings(log.end() - static_cast<long>(c.tail.size()), log.end()), c.tail);
    EXPECT_EQ(readFile(file("idstamm")).size(), c.badgeLines * 369);
    // The control-area cursor is closed after its fetches, but not after a failed open.
    const auto count = [&](const std::string& prefix) {
      return std::count_if(failing.calls.begin(), failing.calls.end(),
                           [&](auto& call) { return call.starts_with(prefix); });
    };
    EXPECT_EQ(count("SQLCloseZKOzurBKL"), count("SQLOpenZKOzurBKL") - (c.operation == "SQLOpenZKOzurBKL" ? 1 : 0));
    EXPECT_EQ(count("SQLCloseMvsAswDnl"), 1);
    if (c.operation == "schema T1;DROP") {
      EXPECT_EQ(program->context.currentSchema.view(), kDefaultSchema);  // no switch
    }
  }
}

// On MySQL every selective writer opens its file and ends at its cursor. A file that cannot be
// opened leaves the first call pending: the next call recreates the file.
TEST_F(SelectiveTest, OnMysqlEveryWriterOpensItsFileAndFailsAtItsCursor) {
  struct Case {
    const char* file;
    WriterResult (*write)(SelectiveRun&);
    const char* cursor;
    const char* start;  // with /D
    const char* openFailure;
  };
  const std::vector<Case> cases = {
      {"idstamm", [](SelectiveRun& r) { return Fill_IDSTAMM_Upd(r, "B1"); }, "IDS", ": # fuellen  Ausweisnummer: B1",
       ""},
      // (the class list stays empty)
      {"aswbkl",
       [](SelectiveRun& r) {
         SelectedClasses c;
         const WriterResult result = Fill_AswBklUpd(r, "B1", c);
         return c.empty() ? result : WriterResult::kOk;
       },
       "AswBkl", " : # fuellen...", ""},
      {"mgsst20p", [](SelectiveRun& r) { return Fill_MGSST20P_Upd(r, "A1"); }, "S20P",
       ": # fuellen: Kontrollbereich: A1", "."},
      {"mgsst35p", [](SelectiveRun& r) { return Fill_MGSST35P_Upd(r, "A1"); }, "S35P",
       ": # fuellen: Kontrollbereich: A1", ""},
      {"mgsst41p", [](SelectiveRun& r) { return Fill_MGSST41P_Upd(r, "A1"); }, "S41P",
       ": # fuellen: Kontrollbereich: A1", ""},
  };
  MysqlSelectiveSource mysql;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    fs::remove(layout.logFile());
    writeFile(file(c.file), "stale\r\n");
    SelectiveMarks fresh;
    SelectiveRun run{program->context, mysql, fresh, true};
    testing::internal::CaptureStdout();
    program->context.interfaceFilePath = missing();
    EXPECT_EQ(c.write(run), WriterResult::kFileError);
    program->context.interfaceFilePath = layout.outDir().string();
    EXPECT_EQ(c.write(run), WriterResult::kDbError);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Funktion SQLOpen") + c.cursor + "_Sel unter MYSQL nicht implementiert");
    EXPECT_EQ(readFile(file(c.file)), "");
    std::string start = std::string("Importdatei") + c.start;
    start.replace(start.find('#'), 1, file(c.file));
    EXPECT_EQ(layout.logMessages(),
              (Strings{"Oeffnen der Datei " + missing() + "//" + c.file + "_upd.imp fehlgeschlagen" + c.openFailure,
                       start, std::string("Fehler in Fkt. SQLOpen") + c.cursor + "_Sel(). RC: -1"}));
  }
}

// The program with a selection key on MySQL: every attempt ends at the download list.
TEST_F(SelectiveTest, ProgramWithSelectionKeyFailsEveryAttemptAtTheDownloadList) {
  int attemptPauses = 0, otherPauses = 0;
  ObservedEnv env;
  layout.configure(env);
  env.onPause = [&](unsigned long ms) { ++(ms == 10000u ? attemptPauses : otherPauses); };
  const std::string directory = layout.outDir().string();
  const char* argv[] = {"SSTRXV", directory.c_str(), "abcdefghijklmnopq"};  // the first 14 characters are the key
  testing::internal::CaptureStdout();
  EXPECT_EQ(sstrxv::runProgram(3, argv, env), 99);
  const std::string printed = testing::internal::GetCapturedStdout();

  std::string text;
  Strings log;
  for (int attempt = 1; attempt <= 5; ++attempt) {
    text += "Funktion SQLOpenMvsAswDnl unter MYSQL nicht implementiert";
    log.push_back("Fehler in Fkt. SQLOpenMvsAswDnl(). RC: -1");
    if (attempt < 5) {
      log.insert(log.end(), {"1. Versuch zur Wiederherstellung der Datenbankverbindung!",
                             "Die Verbindung zur Datenbank wurde wiederhergestellt!"});
    }
  }
  log.push_back("Die Schnittstellendatei vom Dateityp 'ABCDEFGHIJKLMN' konnte nicht erstellt werden!");
  EXPECT_EQ(printed, text);
  EXPECT_EQ(layout.logMessages(), log);
  EXPECT_EQ(attemptPauses, 4);
  EXPECT_EQ(otherPauses, 0);
  EXPECT_TRUE(fs::is_empty(layout.outDir()));
}

// A lookup that reaches the statement limit ends the selective run at once:
// no failure message, and the update file keeps only what earlier writers
// wrote, not the lines its own writer had before the lookup.
TEST_F(SelectiveTest, StatementReachingItsLimitEndsTheRunWithoutMessage) {
  // The BsvMap lookup in schema T2 has 68 characters besides the key.
  source.ids["B2"] = {badgeRow("B2", "Q1"), badgeRow("B2", std::string(1932, 'K'))};
  EXPECT_EQ(select(), WriterResult::kStatementTooLong);
  EXPECT_EQ(sortedLines(readFile(file("idstamm"))).size(), 1u);  // B1's line
  EXPECT_EQ(layout.logMessages().back(), "Importdatei: " + file("idstamm") + " fuellen  Ausweisnummer: B2");
}
