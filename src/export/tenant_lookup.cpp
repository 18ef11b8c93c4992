#include "export/tenant_lookup.h"

#include "support/text.h"

namespace sstrxv {

namespace {

std::string tenantPersonKeys(const ExportContext& context) {
  return formatText("(SELECT DISTINCT ASWPNR FROM MVSYSTEM.MVS301ASW WHERE ASWMND = '%s') k",
                    context.quoted(context.tenant->tenantNumber.view()).c_str());
}

bool hasCondition(const PersonLookup& lookup) noexcept { return *lookup.condition != '\0'; }

}  // namespace

Statement perRowStatement(const ExportContext& context, const PersonLookup& lookup, std::string_view personnelNumber) {
  const std::string value = context.quoted(personnelNumber);
  std::string text;
  for (const char* c = lookup.perRow; *c != '\0'; ++c) {
    if (*c != '$' || c[1] == '\0') {
      text += *c;
      continue;
    }
    switch (*++c) {
      case 's':
        text += context.schema();
        break;
      case 't':
        text += lookup.table;
        break;
      case 'k':
        text += lookup.key;
        break;
      case 'v':
        text += value;
        break;
      case 'c':
        text += lookup.columns;
        break;
      case 'w':
        text += lookup.condition;
        break;
      case 'd':
        text += lookup.date;
        break;
      case 'b':
        text += lookup.before;
        break;
      default:
        text += '$', text += *c;
        break;
    }
  }
  return formatStatement("%s", text.c_str());
}

std::string clientSetStatement(const ExportContext& context, const PersonLookup& lookup) {
  const char* schema = context.schema();
  const char* where = hasCondition(lookup) ? " WHERE " : "";
  if (lookup.date == nullptr) {
    return formatText("SELECT %s, %s FROM %s.%s%s%s", lookup.key, lookup.columns, schema, lookup.table, where,
                      lookup.condition);
  }
  // The rows on each key's latest date; the grouping compares the keys as
  // the per-row statement's subquery does, and the join gives every row
  // the per-row statement could deliver.
  return formatText(
      "SELECT u.%s, %s FROM %s.%s u JOIN (SELECT %s AS p, max(%s) AS d FROM %s.%s WHERE %s%s%s GROUP BY %s) m ON u.%s "
      "= m.p AND u.%s = m.d%s%s",
      lookup.key, lookup.columns, schema, lookup.table, lookup.key, lookup.date, schema, lookup.table, lookup.before,
      hasCondition(lookup) ? " AND " : "", lookup.condition, lookup.key, lookup.key, lookup.date, where,
      lookup.condition);
}

std::string serverSetStatement(const ExportContext& context, const PersonLookup& lookup) {
  const char* schema = context.schema();
  const char* also = hasCondition(lookup) ? " AND " : "";
  if (lookup.date == nullptr) {
    return formatText("SELECT k.ASWPNR, t.%s, %s FROM %s LEFT JOIN %s.%s t ON t.%s = k.ASWPNR%s%s", lookup.key,
                      lookup.columns, tenantPersonKeys(context).c_str(), schema, lookup.table, lookup.key, also,
                      lookup.condition);
  }
  return formatText(
      "SELECT k.ASWPNR, t.%s, %s FROM %s LEFT JOIN (SELECT %s AS p, max(%s) AS d FROM %s.%s WHERE %s%s%s GROUP BY %s) "
      "m "
      "ON m.p = k.ASWPNR LEFT JOIN %s.%s t ON t.%s = k.ASWPNR AND t.%s = m.d%s%s",
      lookup.key, lookup.columns, tenantPersonKeys(context).c_str(), lookup.key, lookup.date, schema, lookup.table,
      lookup.before, also, lookup.condition, lookup.key, schema, lookup.table, lookup.key, lookup.date, also,
      lookup.condition);
}

LookupAnswer TenantLookup::answer(ExportContext& context, std::string_view key, Row& row) noexcept {
  if (context.perRowLookups || context.tenant == nullptr) return LookupAnswer::kAskServer;
  if (!table_.loaded()) {
    // The set statements are sent at the first question of the tenant: the
    // plain read, and the server's join only when the client cannot match
    // the read's keys.
    if (table_.load(context.session, clientSetStatement(context, lookup_), KeyMatching::kClient) ==
        LoadResult::kNotOnClient) {
      table_.load(context.session, serverSetStatement(context, lookup_), KeyMatching::kServer);
    }
  }
  return table_.find(key, row);
}

}  // namespace sstrxv
