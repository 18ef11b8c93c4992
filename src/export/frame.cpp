#include "export/frame.h"

#include "db/session.h"
#include "support/log.h"

namespace sstrxv {
namespace {

// What producing the rows came to.
enum class Produced {
  kFirstCursorFailed,  // logged; the frame ends without closing message
  kFailed,             // logged; the file is closed as failed
  kDone,
};

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

// One tenant: schema switch, tenant message, the writer's rows. Returns
// false after a failure.
bool exportTenant(ExportContext& context, const TenantMessage& message, WriterQuery& query,
                  const Tenant& tenant, InterfaceFile& file) noexcept {
  // The schema name is written unquoted into every statement: only a
  // plain identifier may get there.
  const bool plainSchema = isPlainIdentifier(tenant.schemaName.view());
  // The server rejects the switch; the statements name the schema instead.
  if (plainSchema) dbSetSchema(context.session, tenant.schemaName.view());
  context.currentSchema.assign(tenant.schemaName.view());
  logMessage(context.env, message, context.schema(), tenant.licenceNumber.c_str(), tenant.tenantNumber.c_str());
  if (!plainSchema) {
    logMessage(context.env, "Ungueltiger Schemaname: %s", tenant.schemaName.c_str());
    logDbFailure(context.env, query.openName(), RC_FAILED);
    return false;
  }
  query.beginTenant(context);
  bool ok = false;
  if (const RC opened = query.open(context); opened != RC_OK) {
    logDbFailure(context.env, query.openName(), opened);
  } else {
    ok = query.produceLines(context, file);
  }
  query.endTenant(context);
  return ok;
}

// The tenant walk. The first failure ends it.
Produced walkTenants(ExportContext& context, const TenantMessage& message, WriterQuery& query,
                     InterfaceFile& file) noexcept {
  Cursor tenantCursor;
  if (const RC opened = SQLOpenMvs112Mnd(context.session, tenantCursor); opened != RC_OK) {
    logDbFailure(context.env, "SQLOpenMvs112Mnd", opened);
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
    if (!exportTenant(context, message, query, tenant, file) || file.failed()) {
      result = Produced::kFailed;
      break;
    }
  }
  SQLCloseMvs112Mnd(tenantCursor);
  return result;
}

// The writer's own cursor over the system schema.
Produced readRows(ExportContext& context, WriterQuery& query, InterfaceFile& file) noexcept {
  if (const RC opened = query.open(context); opened != RC_OK) {
    logDbFailure(context.env, query.openName(), opened);
    return Produced::kFirstCursorFailed;
  }
  return query.produceLines(context, file) ? Produced::kDone : Produced::kFailed;
}

// Closes the file and logs the closing message. Only a file written whole
// takes its path; a file that could not be written whole must not pass as
// written. The export stops at a failed write, so a failure noted before
// the file is closed is either that write or a database failure.
int finish(Env& env, InterfaceFile&& file, const std::string& path, Produced produced) noexcept {
  const bool writeStopped = file.failed();
  const bool ok = produced == Produced::kDone;
  bool written = !writeStopped;
  if (ok) written = std::move(file).close();
  else std::move(file).abandon();
  if (!written) logMessage(env, "Schreiben der Datei %s fehlgeschlagen", path.c_str());
  logMessage(env, ok && written ? "Import %s fertig." : "Import %s fehlgeschlagen.", path.c_str());
  if (!ok && !writeStopped) return WRITER_DB_ERROR;
  return written ? WRITER_OK : WRITER_FILE_ERROR;
}

}  // namespace

void Tenant::clear() noexcept {
  licenceNumber.clear();
  tenantNumber.clear();
  schemaName.clear();
  location.clear();
}

void logDbFailure(Env& env, const char* operation, RC rc) noexcept {
  logMessage(env, "Fehler in Fkt. %s(). RC: %ld", operation, rc);
}

bool WriterQuery::produceLines(ExportContext& context, InterfaceFile& file) noexcept {
  bool ok = true;
  for (;;) {
    const RC fetched = fetch(context);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      reportFetchFailure(context, fetched);
      ok = false;
      break;
    }
    // After a failed write the rest of the export is of no use.
    if (!writeRow(context, file) || file.failed()) {
      ok = false;
      break;
    }
  }
  close();
  return ok;
}

int runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query) noexcept {
  OutputTarget target;
  try {
    target.path = context.interfaceFilePath;
  } catch (...) {
    return WRITER_NO_MEMORY;
  }
  return runWriter(context, texts, query, target);
}

int runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query,
              const OutputTarget& target) noexcept {
  const std::string& path = target.path;
  std::optional<InterfaceFile> file = InterfaceFile::open(path, target.mode);
  if (!file) {
    logMessage(context.env, texts.openFailure, path.c_str());
    return WRITER_FILE_ERROR;
  }
  if (target.logStart) logMessage(context.env, texts.start, path.c_str(), target.key.c_str());
  query.afterStart(context);

  const Produced produced = texts.tenant ? walkTenants(context, *texts.tenant, query, *file)
                                         : readRows(context, query, *file);
  if (produced == Produced::kFirstCursorFailed) {
    std::move(*file).abandon();
    return WRITER_DB_ERROR;
  }
  return finish(context.env, std::move(*file), path, produced);
}

RC SQLOpenMvs112Mnd(DbSession& session, Cursor& tenantCursor) noexcept {
  return openCursor(session, tenantCursor, "%s",
                    " SELECT  MNDLIZ, MNDNUM, MNDSCH, MNDSTO  FROM   mvsystem.mvs112mnd   WHERE MNDKON = 0 AND MNDSCH is not NULL ");
}

RC SQLFetchMvs112Mnd(Cursor& tenantCursor, Tenant& tenant) noexcept {
  Row row;
  const RC rc = dbFetch(tenantCursor, row);
  if (rc != RC_OK) return rc;
  BoundedText* fields[] = {&tenant.licenceNumber, &tenant.tenantNumber, &tenant.schemaName,
                           &tenant.location};
  for (unsigned column = 0; column < 4; ++column) {
    if (const Value value = row[column]) fields[column]->assign(value.view());
  }
  return RC_OK;
}

RC SQLCloseMvs112Mnd(Cursor& tenantCursor) noexcept { return dbCloseCursor(tenantCursor); }

}  // namespace sstrxv
