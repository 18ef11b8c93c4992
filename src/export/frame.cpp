#include "export/frame.h"

#include "db/session.h"
#include "support/log.h"

namespace sstrxv {
namespace {

// What producing the rows came to.
enum class Produced {
  kFirstCursorFailed,  // logged; the frame ends without closing message
  kFailed,             // logged; the file is closed as failed
  kStatementTooLong,   // not logged; the file is dropped and nothing more logged
  kDone,
};

Produced producedBy(Step step) noexcept {
  switch (step) {
    case Step::kDone:
      return Produced::kDone;
    case Step::kStatementTooLong:
      return Produced::kStatementTooLong;
    case Step::kFailed:
      break;
  }
  return Produced::kFailed;
}

// Points the context at the tenant being walked for as long as the walk runs.
class WalkedTenant {
 public:
  explicit WalkedTenant(ExportContext& context) noexcept : context_(context), previous_(context.tenant) {
    context_.tenant = &tenant_;
  }
  ~WalkedTenant() { context_.tenant = previous_; }
  WalkedTenant(const WalkedTenant&) = delete;
  WalkedTenant& operator=(const WalkedTenant&) = delete;
  Tenant& tenant() noexcept { return tenant_; }

 private:
  ExportContext& context_;
  const Tenant* previous_;
  Tenant tenant_;
};

// The rows a statement may deliver in the set-up check's run of a writer:
// one, or as many as in a run (for the tenant cursor, so that the walk
// visits every tenant).
RC limitRows(ExportContext& context, bool oneRow) noexcept {
  if (!context.statementCheck) return RC_OK;
  Cursor cursor;
  return dbExecute(context.session, cursor,
                   oneRow ? "SET SESSION sql_select_limit = 1" : "SET SESSION sql_select_limit = DEFAULT");
}

// The tenant cursor, read whole also in the set-up check.
RC openTenantCursor(ExportContext& context, Cursor& tenantCursor) noexcept {
  if (const RC lifted = limitRows(context, false); lifted != RC_OK) return lifted;
  const RC opened = SQLOpenMvs112Mnd(context.session, tenantCursor);
  const RC limited = limitRows(context, true);
  return opened != RC_OK ? opened : limited;
}

// One tenant: schema switch, tenant message, the writer's rows.
Step exportTenant(ExportContext& context, const TenantMessage& message, WriterQuery& query, const Tenant& tenant,
                  InterfaceFile& file) noexcept {
  // The schema name is written unquoted into every statement: only a
  // plain identifier may get there.
  const bool plainSchema = isPlainIdentifier(tenant.schemaName.view());
  // The server rejects the switch; the statements name the schema instead.
  if (plainSchema && dbSetSchema(context.session, tenant.schemaName.view()) == RC_STATEMENT_TOO_LONG) {
    return Step::kStatementTooLong;
  }
  context.currentSchema.assign(tenant.schemaName.view());
  logMessage(context.env, message, context.schema(), tenant.licenceNumber.c_str(), tenant.tenantNumber.c_str());
  if (!plainSchema) {
    logMessage(context.env, "Ungueltiger Schemaname: %s", tenant.schemaName.c_str());
    logDbFailure(context.env, query.openName(), RC_FAILED);
    return Step::kFailed;
  }
  query.beginTenant(context);
  Step step = Step::kFailed;
  if (const RC opened = query.open(context); opened != RC_OK) {
    step = dbFailure(context.env, query.openName(), opened);
  } else {
    step = query.produceLines(context, file);
  }
  query.endTenant(context);
  return step;
}

// The tenant walk. The first failure ends it.
Produced walkTenants(ExportContext& context, const TenantMessage& message, WriterQuery& query,
                     InterfaceFile& file) noexcept {
  Cursor tenantCursor;
  if (const RC opened = openTenantCursor(context, tenantCursor); opened != RC_OK) {
    if (dbFailure(context.env, "SQLOpenMvs112Mnd", opened) == Step::kStatementTooLong)
      return Produced::kStatementTooLong;
    return Produced::kFirstCursorFailed;
  }
  WalkedTenant walked(context);
  Produced result = Produced::kDone;
  for (;;) {
    Tenant& tenant = walked.tenant();
    tenant.clear();
    const RC fetched = SQLFetchMvs112Mnd(tenantCursor, tenant);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      logDbFailure(context.env, "SQLFetchMvs112Mnd", fetched);
      result = Produced::kFailed;
      break;
    }
    const Step step = exportTenant(context, message, query, tenant, file);
    if (step != Step::kDone || file.failed()) {
      result = producedBy(step == Step::kDone ? Step::kFailed : step);
      break;
    }
  }
  SQLCloseMvs112Mnd(tenantCursor);
  return result;
}

// The writer's own cursor over the system schema.
Produced readRows(ExportContext& context, WriterQuery& query, InterfaceFile& file) noexcept {
  if (const RC opened = query.open(context); opened != RC_OK) {
    if (dbFailure(context.env, query.openName(), opened) == Step::kStatementTooLong) return Produced::kStatementTooLong;
    return Produced::kFirstCursorFailed;
  }
  return producedBy(query.produceLines(context, file));
}

// Closes the file and logs the closing message. Only a file written whole
// takes its path; a file that could not be written whole must not pass as
// written. The export stops at a failed write, so a failure noted before
// the file is closed is either that write or a database failure.
WriterResult finish(Env& env, InterfaceFile&& file, const std::string& path, Produced produced) noexcept {
  const bool writeStopped = file.failed();
  const bool ok = produced == Produced::kDone;
  bool written = !writeStopped;
  if (ok)
    written = std::move(file).close();
  else
    std::move(file).abandon();
  if (!written) logMessage(env, "Schreiben der Datei %s fehlgeschlagen", path.c_str());
  logMessage(env, ok && written ? "Import %s fertig." : "Import %s fehlgeschlagen.", path.c_str());
  if (!ok && !writeStopped) return WriterResult::kDbError;
  return written ? WriterResult::kOk : WriterResult::kFileError;
}

// The writer's frame: its output, start message, rows and closing message.
WriterResult runFrame(ExportContext& context, const WriterTexts& texts, WriterQuery& query,
                      const OutputTarget& target) noexcept {
  const std::string& path = target.path;
  std::optional<InterfaceFile> file =
      context.statementCheck ? InterfaceFile::discarding() : InterfaceFile::open(path, target.mode);
  if (!file) {
    logMessage(context.env, texts.openFailure, path.c_str());
    return WriterResult::kFileError;
  }
  if (target.logStart) logMessage(context.env, texts.start, path.c_str(), target.key.c_str());
  query.afterStart(context);

  const Produced produced =
      texts.tenant ? walkTenants(context, *texts.tenant, query, *file) : readRows(context, query, *file);
  if (produced == Produced::kStatementTooLong) {
    std::move(*file).drop();
    return WriterResult::kStatementTooLong;
  }
  if (produced == Produced::kFirstCursorFailed) {
    std::move(*file).abandon();
    return WriterResult::kDbError;
  }
  return finish(context.env, std::move(*file), path, produced);
}

}  // namespace

void logDbFailure(Env& env, const char* operation, RC rc) noexcept {
  logMessage(env, "Fehler in Fkt. %s(). RC: %ld", operation, rc);
}

Step dbFailure(Env& env, const char* operation, RC rc) noexcept {
  if (rc == RC_STATEMENT_TOO_LONG) return Step::kStatementTooLong;
  logDbFailure(env, operation, rc);
  return Step::kFailed;
}

Step WriterQuery::produceLines(ExportContext& context, InterfaceFile& file) noexcept {
  Step step = Step::kDone;
  for (;;) {
    const RC fetched = fetch(context);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched == RC_STATEMENT_TOO_LONG) {
      step = Step::kStatementTooLong;
      break;
    }
    if (fetched != RC_OK) {
      reportFetchFailure(context, fetched);
      step = Step::kFailed;
      break;
    }
    // After a failed write the rest of the export is of no use.
    step = writeRow(context, file);
    if (step == Step::kDone && file.failed()) step = Step::kFailed;
    if (step != Step::kDone) break;
  }
  close();
  return step;
}

WriterResult runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query) noexcept {
  OutputTarget target;
  target.path = context.interfaceFilePath;
  return runWriter(context, texts, query, target);
}

WriterResult runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query,
                       const OutputTarget& target) noexcept {
  if (limitRows(context, true) != RC_OK) return WriterResult::kDbError;
  const WriterResult result = runFrame(context, texts, query, target);
  static_cast<void>(limitRows(context, false));
  return result;
}

}  // namespace sstrxv
