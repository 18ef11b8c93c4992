#include "export/frame.h"

#include "db/session.h"
#include "support/log.h"
#include "support/run_state.h"

namespace sstrxv {
namespace {

Cursor& tenantCursor() noexcept {
  static Cursor cursor;
  return cursor;
}

// Walks the tenants: per tenant the schema switch, the tenant message and
// the writer's rows. The first failure ends the walk. Returns false then.
bool walkTenants(const WriterTexts& texts, WriterQuery& query, InterfaceFile& file) noexcept {
  RunState& run = runState();
  Tenant& tenant = currentTenant();
  for (;;) {
    tenant.clear();
    const RC fetched = SQLFetchMvs112Mnd(tenant);
    if (fetched == RC_NO_MORE_ROWS) return true;
    if (fetched != RC_OK) {
      logDbFailure("SQLFetchMvs112Mnd", fetched);
      return false;
    }
    // The schema name is written unquoted into every statement: only a
    // plain identifier may get there.
    const bool plainSchema = isPlainIdentifier(tenant.schemaName.view());
    // The server rejects the switch; the statements name the schema instead.
    if (plainSchema) dbSetSchema(tenant.schemaName.view());
    run.currentSchema.assign(tenant.schemaName.view());
    logMessage(texts.tenant, run.currentSchema.c_str(), tenant.licenceNumber.c_str(),
               tenant.tenantNumber.c_str());
    if (!plainSchema) {
      logMessage("Ungueltiger Schemaname: %s", tenant.schemaName.c_str());
      logDbFailure(query.openName(), RC_FAILED);
      return false;
    }
    const RC opened = query.open();
    if (opened != RC_OK) {
      logDbFailure(query.openName(), opened);
      return false;
    }
    if (!query.produceLines(file)) return false;
  }
}

}  // namespace

void Tenant::clear() noexcept {
  licenceNumber.clear();
  tenantNumber.clear();
  schemaName.clear();
  location.clear();
}

Tenant& currentTenant() noexcept {
  static Tenant tenant;
  return tenant;
}

void logDbFailure(const char* operation, RC rc) noexcept {
  logMessage("Fehler in Fkt. %s(). RC: %ld", operation, rc);
}

bool WriterQuery::produceLines(InterfaceFile& file) noexcept {
  bool ok = true;
  for (;;) {
    const RC fetched = fetch();
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      logDbFailure(fetchName_, fetched);
      ok = false;
      break;
    }
    if (!writeRow(file)) {
      ok = false;
      break;
    }
  }
  close();
  return ok;
}

int runWriter(const WriterTexts& texts, WriterQuery& query) noexcept {
  const std::string& path = runState().interfaceFilePath;
  InterfaceFile file;
  if (!file.create(path)) {
    logMessage(texts.openFailure, path.c_str());
    return WRITER_FILE_ERROR;
  }
  logMessage(texts.start, path.c_str());

  bool ok = true;
  if (texts.tenant != nullptr) {
    const RC opened = SQLOpenMvs112Mnd();
    if (opened != RC_OK) {
      logDbFailure("SQLOpenMvs112Mnd", opened);
      return WRITER_DB_ERROR;
    }
    ok = walkTenants(texts, query, file);
    SQLCloseMvs112Mnd();
  } else {
    const RC opened = query.open();
    if (opened != RC_OK) {
      logDbFailure(query.openName(), opened);
      return WRITER_DB_ERROR;
    }
    ok = query.produceLines(file);
  }
  // A file that could not be written whole must not pass as written.
  const bool written = file.close();
  if (!written) logMessage("Schreiben der Datei %s fehlgeschlagen", path.c_str());
  logMessage(ok && written ? "Import %s fertig." : "Import %s fehlgeschlagen.", path.c_str());
  if (!ok) return WRITER_DB_ERROR;
  return written ? WRITER_OK : WRITER_FILE_ERROR;
}

RC SQLOpenMvs112Mnd() noexcept {
  return openCursor(tenantCursor(), "%s",
                    " SELECT  MNDLIZ, MNDNUM, MNDSCH, MNDSTO  FROM   mvsystem.mvs112mnd   WHERE MNDKON = 0 AND MNDSCH is not NULL ");
}

RC SQLFetchMvs112Mnd(Tenant& tenant) noexcept {
  Row row;
  const RC rc = dbFetch(tenantCursor(), row);
  if (rc != RC_OK) return rc;
  BoundedText* fields[] = {&tenant.licenceNumber, &tenant.tenantNumber, &tenant.schemaName,
                           &tenant.location};
  for (unsigned column = 0; column < 4; ++column) {
    if (row[column] != nullptr) fields[column]->assign(row[column]);
  }
  return RC_OK;
}

RC SQLCloseMvs112Mnd() noexcept { return dbCloseCursor(tenantCursor()); }

}  // namespace sstrxv
