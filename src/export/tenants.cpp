#include "export/tenants.h"

namespace sstrxv {

void Tenant::clear() noexcept {
  licenceNumber.clear();
  tenantNumber.clear();
  schemaName.clear();
  location.clear();
}

RC SQLOpenMvs112Mnd(DbSession& session, Cursor& tenantCursor) noexcept {
  return openCursor(
      session, tenantCursor, "%s",
      " SELECT  MNDLIZ, MNDNUM, MNDSCH, MNDSTO  FROM   mvsystem.mvs112mnd   WHERE MNDKON = 0 AND MNDSCH is not NULL ");
}

RC SQLFetchMvs112Mnd(Cursor& tenantCursor, Tenant& tenant) noexcept {
  Row row;
  const RC rc = dbFetch(tenantCursor, row);
  if (rc != RC_OK) return rc;
  BoundedText* fields[] = {&tenant.licenceNumber, &tenant.tenantNumber, &tenant.schemaName, &tenant.location};
  for (unsigned column = 0; column < 4; ++column) {
    if (const Value value = row[column]) fields[column]->assign(value.view());
  }
  return RC_OK;
}

RC SQLCloseMvs112Mnd(Cursor& tenantCursor) noexcept { return dbCloseCursor(tenantCursor); }

}  // namespace sstrxv
