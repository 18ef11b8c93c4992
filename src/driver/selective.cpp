#include "driver/selective.h"

#include <string>
#include <vector>

#include "db/session.h"
#include "export/master/master.h"
#include "export/terminal/terminal.h"
#include "support/log.h"

namespace sstrxv {
namespace {

using AreaWriter = WriterResult (*)(SelectiveRun& run, std::string_view controlArea) noexcept;

struct NamedAreaWriter {
  AreaWriter write;
  const char* name;
};

// Every control area reached gets its lines from these, in this order.
constexpr NamedAreaWriter kAreaWriters[] = {
    {Fill_MGSST20P_Upd, "Fill_MGSST20P_Upd"},
    {Fill_MGSST35P_Upd, "Fill_MGSST35P_Upd"},
    {Fill_MGSST41P_Upd, "Fill_MGSST41P_Upd"},
};

// The outcome of a selective writer: a failure is logged under the
// writer's name and its result kept as the last writer result.
// A statement that reached its length limit is not logged.
bool writerSucceeded(Env& env, WriterResult result, const char* name, WriterResult& lastWriterResult) noexcept {
  if (result == WriterResult::kOk) return true;
  lastWriterResult = result;
  if (result == WriterResult::kStatementTooLong) return false;
  logMessage(env, "Fehler in %s(). RC: %ld", name, static_cast<long>(result));
  return false;
}

// The whole download cursor into the list, growing it by one row before
// every fetch; a failed fetch is logged and noted in failed.
void readDownloads(Env& env, SelectiveSource& source, std::vector<DownloadRow>& rows, bool& failed) noexcept {
  RC fetched = RC_OK;
  do {
    rows.emplace_back();
    fetched = source.SQLFetchMvsAswDnl(rows.back());
  } while (fetched == RC_OK);
  if (fetched != RC_NO_MORE_ROWS) {
    logMessage(env, "Fehler bei SQLOpenMvsAswDnl! RC: %ld", fetched);
    failed = true;
  }
  rows.pop_back();  // the row of the fetch that found none
  source.SQLCloseMvsAswDnl();
}

// The control areas that one class reaches, each written by the three
// schedule writers; an area reached again is written again. Returns false
// after a failure.
bool writeAreasOfClass(SelectiveRun& run, const std::string& authorizationClass,
                       WriterResult& lastWriterResult) noexcept {
  SelectiveSource& source = run.source;
  if (const RC opened = source.SQLOpenZKOzurBKL(authorizationClass); opened != RC_OK) {
    logMessage(run.context.env, "Fehler bei SQLOpenMvsAswDnl! RC: %ld", opened);
    return false;
  }
  bool ok = true;
  std::string controlArea;
  while (ok) {
    controlArea.clear();
    const RC fetched = source.SQLFetchZKOzurBKL(controlArea);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      logMessage(run.context.env, "Fehler in SQLFetchZKOzurBKL(). RC: %ld", fetched);
      ok = false;
    } else if (!controlArea.empty()) {
      for (const NamedAreaWriter& writer : kAreaWriters) {
        ok = writerSucceeded(run.context.env, writer.write(run, controlArea), writer.name, lastWriterResult);
        if (!ok) break;
      }
    }
  }
  source.SQLCloseZKOzurBKL();
  return ok;
}

// The badge's own lines, then the lines of every control area its classes
// reach. Returns false after a failure.
bool writeDownload(SelectiveRun& run, const DownloadRow& row, SelectedClasses& classes,
                   WriterResult& lastWriterResult) noexcept {
  if (!row.badgeNumber.empty()) {
    if (!writerSucceeded(run.context.env, Fill_IDSTAMM_Upd(run, row.badgeNumber), "Fill_IDSTAMM_Upd",
                         lastWriterResult) ||
        !writerSucceeded(run.context.env, Fill_AswBklUpd(run, row.badgeNumber, classes), "Fill_AswBkl_Upd",
                         lastWriterResult)) {
      return false;
    }
  }
  for (const std::string& authorizationClass : classes) {
    if (!writeAreasOfClass(run, authorizationClass, lastWriterResult)) return false;
  }
  return true;
}

// The download rows in order, each in its tenant's schema. A failure noted
// before (while reading the download cursor) ends the rows after the
// first. Returns false when a failure was noted.
bool writeDownloads(SelectiveRun& run, const std::vector<DownloadRow>& rows, bool failed,
                    WriterResult& lastWriterResult) noexcept {
  ExportContext& context = run.context;
  Tenant tenant;
  const Tenant* walkedBefore = context.tenant;
  context.tenant = &tenant;
  SelectedClasses classes;
  std::string schema;
  for (const DownloadRow& row : rows) {
    schema.clear();
    const RC looked = run.source.SQLGetSchema(row.tenantNumber, row.secondKey, schema);
    if (looked == RC_NO_MORE_ROWS) break;
    if (looked != RC_OK) {
      logMessage(context.env, "Fehler bei der Funktion SQLGetSchema(). RC: %ld", looked);
      failed = true;
      break;
    }
    // The schema name is written unquoted into the writers' statements:
    // only a plain identifier may get there.
    if (!isPlainIdentifier(schema)) {
      logMessage(context.env, "Ungueltiger Schemaname: %s", schema.c_str());
      logMessage(context.env, "Fehler bei der Funktion SQLGetSchema(). RC: %ld", RC_FAILED);
      failed = true;
      break;
    }
    // The server rejects the switch; the statements name the schema instead.
    if (dbSetSchema(context.session, schema) == RC_STATEMENT_TOO_LONG) {
      lastWriterResult = WriterResult::kStatementTooLong;
      failed = true;
      break;
    }
    context.currentSchema.assign(schema);
    tenant.tenantNumber.assign(row.tenantNumber);
    if (!writeDownload(run, row, classes, lastWriterResult)) failed = true;
    classes.clear();  // each row sees only the classes of its own badge
    if (failed) break;
  }
  context.tenant = walkedBefore;
  return !failed;
}

}  // namespace

WriterResult Fill_SelAswDnl(SelectiveRun& run, std::string_view selectionKey) noexcept {
  SelectiveSource& source = run.source;
  if (const RC opened = source.SQLOpenMvsAswDnl(selectionKey); opened != RC_OK) {
    logDbFailure(run.context.env, "SQLOpenMvsAswDnl", opened);
    return WriterResult::kDbError;
  }
  std::vector<DownloadRow> rows;
  bool failed = false;
  readDownloads(run.context.env, source, rows, failed);

  WriterResult lastWriterResult = WriterResult::kOk;
  if (!writeDownloads(run, rows, failed, lastWriterResult)) {
    if (lastWriterResult == WriterResult::kStatementTooLong) return lastWriterResult;
    logMessage(run.context.env, "Selektiver Import fehlgeschlagen.");
    return lastWriterResult != WriterResult::kOk ? lastWriterResult : WriterResult::kDbError;
  }
  logMessage(run.context.env, "Selektiver Import fertig.");
  return WriterResult::kOk;
}

}  // namespace sstrxv
