// The export frame and the tenant loop, with a small writer of its own over
// the tenants' personnel tables.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <optional>

#include "common/test_env.h"
#include "db/session.h"
#include "export/frame.h"

using namespace sstrxv;
using namespace sstrxv::test;
namespace fs = std::filesystem;

namespace {

constexpr LineFormat<3> kPersonFormat = {field(4, "personnel number", "PNRNUM"), field(6, "name", "PNRNAM"),
                                         field(5, "tenant number", "tenant number of the tenant")};

class PersonQuery final : public RecordQuery<3> {
 public:
  PersonQuery() : RecordQuery("SQLOpenPnr", "SQLFetchPnr", kPersonFormat) {}
  RC open(ExportContext& context) noexcept override {
    return openCursor(context.session, cursor_, "SELECT PNRNUM, PNRNAM FROM %s.MVS300PNR ORDER BY PNRNUM",
                      context.schema());
  }
  WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept override {
    record_[2].assign(context.tenant->tenantNumber.view());
    file.write(record_);
    ++rows;
    // A further statement of the row that fails once the file has failed.
    if (failsAfterFailedWrite && file.failed()) return dbFailure(context.env, "SQLReadPnr", RC_FAILED);
    return WriterResult::kOk;
  }
  int rows = 0;  // lines handed to the file
  bool failsAfterFailedWrite = false;
};

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.reset();
    program = std::make_unique<ProgramSession>();
    layout.configure(program->env);
    path() = (layout.outDir() / "pnr.imp").string();
  }
  std::string& path() { return program->context.interfaceFilePath; }

  void addTenant(const std::string& licence, const std::string& number, const std::string& schema, int kon = 0) {
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('" + licence + "', '" +
            number + "', " + (schema.empty() ? "NULL" : "'" + schema + "'") + ", 'S', " + std::to_string(kon) + ")");
  }
  // Runs the person writer; a file size limit below infinity lets the file
  // grow only that far, as a full disk would.
  WriterResult run(int* rows = nullptr, rlim_t fileSizeLimit = RLIM_INFINITY, bool failsAfterFailedWrite = false) {
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limit = previous;
    limit.rlim_cur = fileSizeLimit;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    PersonQuery query;
    query.failsAfterFailedWrite = failsAfterFailedWrite;
    const WriterResult result = runWriter(program->context,
                                          WriterTexts{.openFailure = "Oeffnen der Datei %s fehlgeschlagen",
                                                      .start = "Importdatei : %s fuellen...",
                                                      .tenant = kTenantMessage},
                                          query);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    if (rows != nullptr) *rows = query.rows;
    return result;
  }
  std::string output() { return readFile(path()); }

  TestDatabase db;
  InstallLayout layout;
  std::unique_ptr<ProgramSession> program;
};

}  // namespace

TEST_F(FrameTest, WalksQualifyingTenantsAndNamesTheirSchemas) {
  db.createTenantSchema("T1");
  db.createTenantSchema("T2");
  db.exec(
      "INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) VALUES ('1', 'Anna'), ('2', NULL);"
      "INSERT INTO T2.MVS300PNR (PNRNUM, PNRNAM) VALUES ('9', 'Zoe-Overlong')");
  addTenant("L1", "M1", "T1");
  addTenant("L9", "M9", "T2", 1);  // MNDKON not 0: skipped
  addTenant("L8", "M8", "");       // no schema: skipped
  EXPECT_EQ(run(), WriterResult::kOk);
  EXPECT_EQ(output(), line({{"1", 4}, {"Anna", 6}, {"M1", 5}}) + line({{"2", 4}, {"", 6}, {"M1", 5}}));
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path() + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M1",
                                      "Import " + path() + " fertig."}));
  EXPECT_EQ(program->context.currentSchema.view(), "T1");
  EXPECT_EQ(program->context.tenant, nullptr);  // the walked tenant stays inside the walk
}

TEST_F(FrameTest, OverlongValuesAreCutSoNoLineShifts) {
  db.createTenantSchema("T2");
  db.exec("INSERT INTO T2.MVS300PNR (PNRNUM, PNRNAM) VALUES ('12345', 'Zoe-Overlong')");
  addTenant("L2", "M2-LONG", "T2");
  EXPECT_EQ(run(), WriterResult::kOk);
  EXPECT_EQ(output(), line({{"1234", 4}, {"Zoe-Ov", 6}, {"M2-LO", 5}}));
  // The tenant's own values stay whole: they are keys of further statements.
  EXPECT_EQ(layout.logMessages().at(1), "Schema:T2 Lizenz:L2 Mandant:M2-LONG");
}

TEST_F(FrameTest, MissingTableEndsTheWalk) {
  db.createTenantSchema("T1");
  db.exec("CREATE DATABASE T2");  // a schema without tables
  db.exec("INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) VALUES ('1', 'Anna')");
  addTenant("L1", "M1", "T1");
  addTenant("L2", "M2", "T2");
  EXPECT_EQ(run(), WriterResult::kDbError);
  EXPECT_FALSE(fs::exists(path()));  // no file rather than one without the rest
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[2], "Schema:T2 Lizenz:L2 Mandant:M2");
  EXPECT_EQ(log[3], "Fehler in Fkt. SQLOpenPnr(). RC: 1146");
  EXPECT_EQ(log[4], "Import " + path() + " fehlgeschlagen.");
}

TEST_F(FrameTest, SchemaNameThatIsNoPlainIdentifierIsRefused) {
  db.createTenantSchema("T1");
  db.exec("INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) VALUES ('1', 'Anna')");
  addTenant("L1", "M1", "T1.MVS300PNR UNION SELECT 1,2 FROM T1");
  EXPECT_EQ(run(), WriterResult::kDbError);
  EXPECT_FALSE(fs::exists(path()));
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[2], "Ungueltiger Schemaname: T1.MVS300PNR UNION SELECT 1,2 FROM T1");
  EXPECT_EQ(log[3], "Fehler in Fkt. SQLOpenPnr(). RC: -1");

  // However long the name, the walk ends the same way, never the process.
  db.exec("UPDATE MVSYSTEM.MVS112MND SET MNDSCH = REPEAT('S', 1990)");
  program->reopen();  // a new session sees the change
  EXPECT_EQ(run(), WriterResult::kDbError);
  EXPECT_EQ(layout.logMessages()[7], "Ungueltiger Schemaname: " + std::string(64, 'S'));
}

TEST_F(FrameTest, NoTenantGivesAnEmptyFileAndAFileThatCannotBeOpenedGivesNoClosingMessage) {
  EXPECT_EQ(run(), WriterResult::kOk);
  EXPECT_TRUE(fs::exists(path()));
  EXPECT_EQ(output(), "");

  const std::string missing = (layout.root() / "no-dir" / "x.imp").string();
  path() = missing;
  EXPECT_EQ(run(), WriterResult::kFileError);
  EXPECT_EQ(layout.logMessages().back(), "Oeffnen der Datei " + missing + " fehlgeschlagen");
}

TEST_F(FrameTest, TenantCursorFailureGivesNoClosingMessage) {
  db.exec("ALTER TABLE MVSYSTEM.MVS112MND RENAME TO MVSYSTEM.MVS112MND_AWAY");
  const WriterResult result = run();
  db.exec("ALTER TABLE MVSYSTEM.MVS112MND_AWAY RENAME TO MVSYSTEM.MVS112MND");
  EXPECT_EQ(result, WriterResult::kDbError);
  EXPECT_EQ(layout.logMessages().back(), "Fehler in Fkt. SQLOpenMvs112Mnd(). RC: 1146");
}

TEST_F(FrameTest, FileThatCannotBeWrittenWholeIsAFailedAttempt) {
  db.createTenantSchema("T1");
  db.exec("INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) SELECT seq, 'Name' FROM T1.seq_1_to_5000");
  addTenant("L1", "M1", "T1");
  EXPECT_EQ(run(nullptr, 32 * 1024), WriterResult::kFileError);
  const auto log = layout.logMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Schreiben der Datei " + path() + " fehlgeschlagen");
  EXPECT_EQ(log.back(), "Import " + path() + " fehlgeschlagen.");
}

namespace {

// The person writer with every hook of the frame logged, and a fetch
// failure reported in its own words.
class HookedPersonQuery final : public RecordQuery<3> {
 public:
  HookedPersonQuery() : RecordQuery("SQLOpenPnr", "SQLFetchPnr", kPersonFormat) {}
  RC open(ExportContext& context) noexcept override {
    return openCursor(context.session, cursor_, "SELECT PNRNUM, PNRNAM FROM %s.MVS300PNR ORDER BY PNRNUM",
                      context.schema());
  }
  void afterStart(ExportContext& context) noexcept override { context.env.writeLog("after start"); }
  void beginTenant(ExportContext& context) noexcept override {
    logMessage(context.env, "begin %s", context.tenant->tenantNumber.c_str());
  }
  void endTenant(ExportContext& context) noexcept override {
    logMessage(context.env, "end %s", context.tenant->tenantNumber.c_str());
  }
  void reportFetchFailure(ExportContext& context, RC rc) noexcept override {
    logMessage(context.env, "Fehler SQLFetchPnr RC: %ld", rc);
  }
};

}  // namespace

TEST_F(FrameTest, FileInAMissingDirectoryIsNotOpened) {
  EXPECT_FALSE(InterfaceFile::open((layout.root() / "no-dir" / "x.imp").string(), platform::OutputMode::kReplace));
}

TEST_F(FrameTest, HooksAppendingAndAStartMessageWithKey) {
  db.createTenantSchema("T1");
  db.createTenantSchema("T2");
  db.exec("INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) VALUES ('1', 'Anna')");
  addTenant("L1", "M1", "T1");
  addTenant("L2", "M2", "T2");
  writeFile(path(), "old line\r\n");
  HookedPersonQuery query;
  const WriterTexts texts{.start = "Importdatei: %s fuellen  Ausweisnummer: %s", .tenant = kTenantMessage};
  EXPECT_EQ(runWriter(program->context, texts, query, OutputTarget{path(), platform::OutputMode::kAppend, "4711"}),
            WriterResult::kOk);
  EXPECT_EQ(output(), "old line\r\n" + line({{"1", 4}, {"Anna", 6}, {"", 5}}));
  EXPECT_EQ(layout.logMessages(), (std::vector<std::string>{"Importdatei: " + path() + " fuellen  Ausweisnummer: 4711",
                                                            "after start", "Schema:T1 Lizenz:L1 Mandant:M1", "begin M1",
                                                            "end M1", "Schema:T2 Lizenz:L2 Mandant:M2", "begin M2",
                                                            "end M2", "Import " + path() + " fertig."}));
}

// Whatever ends an attempt, the file at the path stays as it was before
// the run, and nothing is left beside it. A failed write ends the export
// at once.
TEST_F(FrameTest, FailedAttemptKeepsThePreviousFile) {
  constexpr int kRows = 40000;  // far more than the file may take
  db.createTenantSchema("T1");
  db.exec("CREATE DATABASE T2");  // a schema without tables
  db.exec("INSERT INTO T1.MVS300PNR (PNRNUM, PNRNAM) SELECT seq, 'Name' FROM T1.seq_1_to_40000");
  addTenant("L1", "M1", "T1");
  struct Case {
    const char* name;
    WriterResult result;
    void (*before)(TestDatabase&);
    void (*after)(TestDatabase&);
    rlim_t fileSizeLimit;
    bool failsAfterFailedWrite = false;
  };
  const auto nothing = [](TestDatabase&) {};
  const Case cases[] = {
      {"a tenant without table after the first", WriterResult::kDbError,
       [](TestDatabase& database) {
         database.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('L2', 'M2', 'T2', 0)");
       },
       [](TestDatabase& database) { database.exec("DELETE FROM MVSYSTEM.MVS112MND WHERE MNDSCH = 'T2'"); },
       RLIM_INFINITY},
      {"no tenant table", WriterResult::kDbError,
       [](TestDatabase& database) {
         database.exec("ALTER TABLE MVSYSTEM.MVS112MND RENAME TO MVSYSTEM.MVS112MND_AWAY");
       },
       [](TestDatabase& database) {
         database.exec("ALTER TABLE MVSYSTEM.MVS112MND_AWAY RENAME TO MVSYSTEM.MVS112MND");
       },
       RLIM_INFINITY},
      {"a full disk", WriterResult::kFileError, nothing, nothing, 32 * 1024},
      {"a full disk, then a failed statement", WriterResult::kFileError, nothing, nothing, 32 * 1024, true},
  };
  for (const Case& c : cases) {
    writeFile(path(), "yesterday's file\r\n");
    program->reopen();  // ends the transaction that holds the tables of the last run
    c.before(db);
    int rows = 0;
    const WriterResult result = run(&rows, c.fileSizeLimit, c.failsAfterFailedWrite);
    program->reopen();
    c.after(db);

    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(readFile(path()), "yesterday's file\r\n") << c.name;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(layout.outDir())) names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"pnr.imp"}) << c.name;
    if (c.result == WriterResult::kFileError) {
      EXPECT_LT(rows, kRows / 2) << c.name;  // stopped at the failed write
    }
  }
}
