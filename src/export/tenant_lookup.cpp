#include "export/tenant_lookup.h"

#include "support/text.h"

namespace sstrxv {

std::string tenantPersonKeys(const ExportContext& context) {
  return formatText("(SELECT DISTINCT ASWPNR FROM MVSYSTEM.MVS301ASW WHERE ASWMND = '%s') k",
                    context.quoted(context.tenant->tenantNumber.view()).c_str());
}

LookupAnswer TenantLookup::answer(ExportContext& context, std::string_view key, Row& row) noexcept {
  if (context.perRowLookups || context.tenant == nullptr) return LookupAnswer::kAskServer;
  if (!table_.loaded()) {
    // The set statement is sent at the first question of the tenant.
    try {
      table_.load(context.session, setStatement_(context));
    } catch (...) {
      table_.clear();
      return LookupAnswer::kAskServer;
    }
  }
  return table_.find(key, row);
}

}  // namespace sstrxv
