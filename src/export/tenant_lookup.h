// The per-person lookups of a tenant's writer, answered from one set
// statement per lookup and tenant where the server's per-row answer is
// certain, and by the lookup's own per-row statement everywhere else.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "db/lookup.h"
#include "db/runtime.h"
#include "export/context.h"

namespace sstrxv {

// The set statement of a per-person lookup: the tenant's personnel numbers
// as the badge statements read them (every ASWPNR of the tenant's badges,
// once: "k.ASWPNR"), the lookup table's key column ("t.<key>", NULL when
// the server matched no row), then the columns, which name the table "t":
//   SELECT k.ASWPNR, t.<key>, <columns> FROM <keys> k
//   LEFT JOIN <schema>.<table> t ON t.<key> = k.ASWPNR<condition>
[[nodiscard]] std::string personRowsSet(const ExportContext& context, const char* columns, const char* table,
                                        const char* key, const char* condition = "");
// The same for the person's row on the latest date for which "before"
// holds, the maximum grouped by the key column as the per-row statement's
// subquery compares it.
[[nodiscard]] std::string latestPersonRowSet(const ExportContext& context, const char* columns, const char* table,
                                             const char* key, const char* date, const char* before,
                                             const char* condition = "");

class TenantLookup {
 public:
  // Builds the set statement for the tenant being walked.
  using SetStatement = std::string (*)(const ExportContext& context);
  explicit TenantLookup(SetStatement setStatement) noexcept : setStatement_(setStatement) {}

  // The lookup of one key: copy gets the row that the per-row statement
  // would fetch first. Returns what the per-row lookup returns: 0 with a
  // row, 1032 without, or the failed statement's RC. The per-row
  // statement is built by perRowStatement and sent only when the set
  // statement cannot answer for the key.
  template <typename PerRowStatement, typename CopyRow>
  [[nodiscard]] RC read(ExportContext& context, std::string_view key, PerRowStatement&& perRowStatement,
                        CopyRow&& copy) noexcept {
    Row row;
    switch (answer(context, key, row)) {
      case LookupAnswer::kRow:
        copy(row);
        return RC_OK;
      case LookupAnswer::kNoRow:
        return RC_NO_MORE_ROWS;
      case LookupAnswer::kAskServer:
        break;
    }
    return readSingleRow(context.session, perRowStatement(), std::forward<CopyRow>(copy));
  }

  // The tenant is done: its table is freed, the next tenant sends the set
  // statement again.
  void endTenant() noexcept { table_.clear(); }

 private:
  LookupAnswer answer(ExportContext& context, std::string_view key, Row& row) noexcept;

  SetStatement setStatement_;
  LookupTable table_;
};

}  // namespace sstrxv
