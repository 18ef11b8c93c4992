#include "export/frame.h"

#include "db/session.h"
#include "support/log.h"

namespace sstrxv {
namespace {

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
WriterResult exportTenant(ExportContext& context, const TenantMessage& message, WriterQuery& query,
                          const Tenant& tenant, InterfaceFile& file) noexcept {
  // The schema name is written unquoted into every statement: only a
  // plain identifier may get there.
  const bool plainSchema = isPlainIdentifier(tenant.schemaName.view());
  if (plainSchema) {
    // The server rejects the switch; the statements name the schema instead.
    const WriterResult switched = writerResult(dbSetSchema(context.session, tenant.schemaName.view()), [] {});
    if (switched == WriterResult::kStatementTooLong) return switched;
  }
  context.currentSchema.assign(tenant.schemaName.view());
  logMessage(context.env, message, context.schema(), tenant.licenceNumber.c_str(), tenant.tenantNumber.c_str());
  if (!plainSchema) {
    logMessage(context.env, "Ungueltiger Schemaname: %s", tenant.schemaName.c_str());
    return dbFailure(context.env, query.openName(), RC_FAILED);
  }
  query.beginTenant(context);
  const RC opened = query.open(context);
  const WriterResult result =
      opened != RC_OK ? dbFailure(context.env, query.openName(), opened) : query.produceLines(context, file);
  query.endTenant(context);
  return result;
}

// The tenant walk over the open tenant cursor. The first failure ends it.
WriterResult walkTenants(ExportContext& context, const TenantMessage& message, WriterQuery& query, Cursor& tenantCursor,
                         InterfaceFile& file) noexcept {
  WalkedTenant walked(context);
  WriterResult result = WriterResult::kOk;
  while (result == WriterResult::kOk) {
    Tenant& tenant = walked.tenant();
    tenant.clear();
    const RC fetched = SQLFetchMvs112Mnd(tenantCursor, tenant);
    if (fetched == RC_NO_MORE_ROWS) break;
    result = fetched != RC_OK ? dbFailure(context.env, "SQLFetchMvs112Mnd", fetched)
                              : exportTenant(context, message, query, tenant, file);
    if (result == WriterResult::kOk && file.failed()) result = WriterResult::kFileError;
  }
  SQLCloseMvs112Mnd(tenantCursor);
  return result;
}

// Closes the file and logs the closing message. Only a file written whole
// takes its path; a file that could not be written whole must not pass as
// written. The export stops at a failed write, so a failure noted before
// the file is closed is either that write or a database failure.
WriterResult finish(Env& env, InterfaceFile&& file, const std::string& path, WriterResult produced) noexcept {
  const bool writeStopped = file.failed();
  const bool ok = produced == WriterResult::kOk;
  bool written = !writeStopped;
  if (ok)
    written = std::move(file).close();
  else
    std::move(file).abandon();
  if (!written) logMessage(env, "Schreiben der Datei %s fehlgeschlagen", path.c_str());
  logMessage(env, ok && written ? "Import %s fertig." : "Import %s fehlgeschlagen.", path.c_str());
  if (!ok && !writeStopped) return produced;
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

  // The first cursor: the tenant cursor when the writer walks the tenants,
  // else the writer's own over the system schema. When it fails, the frame
  // ends without closing message.
  Cursor tenantCursor;
  if (const RC opened = texts.tenant ? openTenantCursor(context, tenantCursor) : query.open(context); opened != RC_OK) {
    const WriterResult failed = dbFailure(context.env, texts.tenant ? "SQLOpenMvs112Mnd" : query.openName(), opened);
    if (failed == WriterResult::kStatementTooLong)
      std::move(*file).drop();
    else
      std::move(*file).abandon();
    return failed;
  }
  const WriterResult produced = texts.tenant ? walkTenants(context, *texts.tenant, query, tenantCursor, *file)
                                             : query.produceLines(context, *file);
  if (produced == WriterResult::kStatementTooLong) {
    std::move(*file).drop();
    return produced;
  }
  return finish(context.env, std::move(*file), path, produced);
}

}  // namespace

void logDbFailure(Env& env, const char* operation, RC rc) noexcept {
  logMessage(env, "Fehler in Fkt. %s(). RC: %ld", operation, rc);
}

WriterResult dbFailure(Env& env, const char* operation, RC rc) noexcept {
  return writerResult(rc, [&] { logDbFailure(env, operation, rc); });
}

WriterResult WriterQuery::produceLines(ExportContext& context, InterfaceFile& file) noexcept {
  WriterResult result = WriterResult::kOk;
  while (result == WriterResult::kOk) {
    const RC fetched = fetch(context);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      result = writerResult(fetched, [&] { reportFetchFailure(context, fetched); });
    } else {
      result = writeRow(context, file);
      // After a failed write the rest of the export is of no use.
      if (result == WriterResult::kOk && file.failed()) result = WriterResult::kFileError;
    }
  }
  close();
  return result;
}

WriterResult runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query) noexcept {
  OutputTarget target;
  target.path = context.interfaceFilePath;
  return runWriter(context, texts, query, target);
}

WriterResult runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query,
                       const OutputTarget& target) noexcept {
  if (const WriterResult limited = writerResult(limitRows(context, true), [] {}); limited != WriterResult::kOk) {
    return limited;
  }
  const WriterResult result = runFrame(context, texts, query, target);
  static_cast<void>(limitRows(context, false));
  return result;
}

}  // namespace sstrxv
