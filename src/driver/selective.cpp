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

// The result of a selective writer: a failure is logged under the
// writer's name, unless a statement reached its length limit.
WriterResult reported(Env& env, WriterResult result, const char* name) noexcept {
  if (result != WriterResult::kOk && result != WriterResult::kStatementTooLong) {
    logMessage(env, "Fehler in %s(). RC: %ld", name, static_cast<long>(result));
  }
  return result;
}

// The whole download cursor into the list, growing it by one row before
// every fetch; a failed fetch is logged and is the result.
WriterResult readDownloads(Env& env, SelectiveSource& source, std::vector<DownloadRow>& rows) noexcept {
  RC fetched = RC_OK;
  do {
    rows.emplace_back();
    fetched = source.SQLFetchMvsAswDnl(rows.back());
  } while (fetched == RC_OK);
  WriterResult result = WriterResult::kOk;
  if (fetched != RC_NO_MORE_ROWS) {
    result = writerResult(fetched, [&] { logMessage(env, "Fehler bei SQLOpenMvsAswDnl! RC: %ld", fetched); });
  }
  rows.pop_back();  // the row of the fetch that found none
  source.SQLCloseMvsAswDnl();
  return result;
}

// The control areas that one class reaches, each written by the three
// schedule writers; an area reached again is written again. The first
// failure ends it.
WriterResult writeAreasOfClass(SelectiveRun& run, const std::string& authorizationClass) noexcept {
  SelectiveSource& source = run.source;
  Env& env = run.context.env;
  if (const RC opened = source.SQLOpenZKOzurBKL(authorizationClass); opened != RC_OK) {
    return writerResult(opened, [&] { logMessage(env, "Fehler bei SQLOpenMvsAswDnl! RC: %ld", opened); });
  }
  WriterResult result = WriterResult::kOk;
  std::string controlArea;
  while (result == WriterResult::kOk) {
    controlArea.clear();
    const RC fetched = source.SQLFetchZKOzurBKL(controlArea);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      result = writerResult(fetched, [&] { logMessage(env, "Fehler in SQLFetchZKOzurBKL(). RC: %ld", fetched); });
    } else if (!controlArea.empty()) {
      for (const NamedAreaWriter& writer : kAreaWriters) {
        result = reported(env, writer.write(run, controlArea), writer.name);
        if (result != WriterResult::kOk) break;
      }
    }
  }
  source.SQLCloseZKOzurBKL();
  return result;
}

// The badge's own lines, then the lines of every control area its classes
// reach. The first failure ends it.
WriterResult writeDownload(SelectiveRun& run, const DownloadRow& row, SelectedClasses& classes) noexcept {
  Env& env = run.context.env;
  WriterResult result = WriterResult::kOk;
  if (!row.badgeNumber.empty()) {
    result = reported(env, Fill_IDSTAMM_Upd(run, row.badgeNumber), "Fill_IDSTAMM_Upd");
    if (result == WriterResult::kOk) {
      result = reported(env, Fill_AswBklUpd(run, row.badgeNumber, classes), "Fill_AswBkl_Upd");
    }
  }
  for (const std::string& authorizationClass : classes) {
    if (result != WriterResult::kOk) break;
    result = writeAreasOfClass(run, authorizationClass);
  }
  return result;
}

// The download rows in order, each in its tenant's schema. A failure while
// reading the download cursor (readResult) ends the rows after the first.
// Returns the first failure: of the rows, else of the reading.
WriterResult writeDownloads(SelectiveRun& run, const std::vector<DownloadRow>& rows, WriterResult readResult) noexcept {
  ExportContext& context = run.context;
  Tenant tenant;
  const Tenant* walkedBefore = context.tenant;
  context.tenant = &tenant;
  SelectedClasses classes;
  std::string schema;
  WriterResult result = WriterResult::kOk;
  for (const DownloadRow& row : rows) {
    schema.clear();
    const RC looked = run.source.SQLGetSchema(row.tenantNumber, row.secondKey, schema);
    if (looked == RC_NO_MORE_ROWS) break;
    if (looked != RC_OK) {
      result = writerResult(
          looked, [&] { logMessage(context.env, "Fehler bei der Funktion SQLGetSchema(). RC: %ld", looked); });
      break;
    }
    // The schema name is written unquoted into the writers' statements:
    // only a plain identifier may get there; any other fails as the lookup.
    if (!isPlainIdentifier(schema)) {
      logMessage(context.env, "Ungueltiger Schemaname: %s", schema.c_str());
      result = writerResult(
          RC_FAILED, [&] { logMessage(context.env, "Fehler bei der Funktion SQLGetSchema(). RC: %ld", RC_FAILED); });
      break;
    }
    // The server rejects the switch; the statements name the schema instead.
    if (const WriterResult switched = writerResult(dbSetSchema(context.session, schema), [] {});
        switched == WriterResult::kStatementTooLong) {
      result = switched;
      break;
    }
    context.currentSchema.assign(schema);
    tenant.tenantNumber.assign(row.tenantNumber);
    result = writeDownload(run, row, classes);
    classes.clear();  // each row sees only the classes of its own badge
    if (result != WriterResult::kOk || readResult != WriterResult::kOk) break;
  }
  context.tenant = walkedBefore;
  return result != WriterResult::kOk ? result : readResult;
}

}  // namespace

WriterResult Fill_SelAswDnl(SelectiveRun& run, std::string_view selectionKey) noexcept {
  SelectiveSource& source = run.source;
  if (const RC opened = source.SQLOpenMvsAswDnl(selectionKey); opened != RC_OK) {
    return dbFailure(run.context.env, "SQLOpenMvsAswDnl", opened);
  }
  std::vector<DownloadRow> rows;
  const WriterResult read = readDownloads(run.context.env, source, rows);
  // A statement that reached its limit ends the run at once, without message.
  const WriterResult result = read == WriterResult::kStatementTooLong ? read : writeDownloads(run, rows, read);
  if (result == WriterResult::kStatementTooLong) return result;
  logMessage(run.context.env,
             result == WriterResult::kOk ? "Selektiver Import fertig." : "Selektiver Import fehlgeschlagen.");
  return result;
}

}  // namespace sstrxv
