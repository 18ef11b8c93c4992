#include "export/tenant_lookup.h"

#include "support/text.h"

namespace sstrxv {

namespace {

std::string tenantPersonKeys(const ExportContext& context) {
  return formatText("(SELECT DISTINCT ASWPNR FROM MVSYSTEM.MVS301ASW WHERE ASWMND = '%s') k",
                    context.quoted(context.tenant->tenantNumber.view()).c_str());
}

}  // namespace

std::string personRowsSet(const ExportContext& context, const char* columns, const char* table, const char* key,
                          const char* condition) {
  return formatText("SELECT k.ASWPNR, t.%s, %s FROM %s LEFT JOIN %s.%s t ON t.%s = k.ASWPNR%s", key, columns,
                    tenantPersonKeys(context).c_str(), context.schema(), table, key, condition);
}

std::string latestPersonRowSet(const ExportContext& context, const char* columns, const char* table, const char* key,
                               const char* date, const char* before, const char* condition) {
  const char* schema = context.schema();
  return formatText(
      "SELECT k.ASWPNR, t.%s, %s FROM %s LEFT JOIN (SELECT %s AS p, max(%s) AS d FROM %s.%s WHERE %s GROUP BY %s) m "
      "ON m.p = k.ASWPNR LEFT JOIN %s.%s t ON t.%s = k.ASWPNR AND t.%s = m.d%s",
      key, columns, tenantPersonKeys(context).c_str(), key, date, schema, table, before, key, schema, table, key, date,
      condition);
}

LookupAnswer TenantLookup::answer(ExportContext& context, std::string_view key, Row& row) noexcept {
  if (context.perRowLookups || context.tenant == nullptr) return LookupAnswer::kAskServer;
  if (!table_.loaded()) {
    // The set statement is sent at the first question of the tenant.
    table_.load(context.session, setStatement_(context));
  }
  return table_.find(key, row);
}

}  // namespace sstrxv
