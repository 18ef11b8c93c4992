// The per-person lookups of a tenant's writer, answered from one set
// statement per lookup and tenant where the server's per-row answer is
// certain, and by the lookup's own per-row statement everywhere else.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "db/lookup.h"
#include "db/runtime.h"
#include "export/context.h"

namespace sstrxv {

// One per-person lookup, described once: its per-row statement and its set
// statements are built from the same pieces, so that no condition can
// differ between them.
struct PersonLookup {
  const char* table;
  const char* key;        // the table's personnel-number column
  const char* columns;    // what the per-row statement selects
  const char* condition;  // what a row must meet besides its key; "" for nothing
  // For the person's row on the latest date: the date column and the
  // condition the date must meet; nullptr for any row of the person.
  const char* date = nullptr;
  const char* before = nullptr;
  // The per-row statement with holes for the pieces: $s schema, $t table,
  // $k key column, $v the quoted personnel number, $c columns,
  // $w condition, $d date column, $b the date's condition.
  const char* perRow = "";
};

// The lookup's per-row statement for one personnel number; no text when it
// would be too long.
[[nodiscard]] Statement perRowStatement(const ExportContext& context, const PersonLookup& lookup,
                                        std::string_view personnelNumber);

// The set statement matched on the client: the key column, then the
// columns, of every row of the tenant's table that the per-row statement
// could give (for the latest date, the rows on each key's latest date):
//   SELECT <key>, <columns> FROM <schema>.<table> [WHERE <condition>]
[[nodiscard]] std::string clientSetStatement(const ExportContext& context, const PersonLookup& lookup);

// The set statement matched by the server: the tenant's personnel numbers
// as the badge statements read them (every ASWPNR of the tenant's badges,
// once: "k.ASWPNR"), the lookup table's key column ("t.<key>", NULL when
// the server matched no row), then the columns:
//   SELECT k.ASWPNR, t.<key>, <columns> FROM <keys> k
//   LEFT JOIN <schema>.<table> t ON t.<key> = k.ASWPNR AND <condition>
[[nodiscard]] std::string serverSetStatement(const ExportContext& context, const PersonLookup& lookup);

class TenantLookup {
 public:
  explicit TenantLookup(const PersonLookup& lookup) noexcept : lookup_(lookup) {}

  // The lookup of one key: copy gets the row that the per-row statement
  // would fetch first. Returns what the per-row lookup returns: 0 with a
  // row, 1032 without, or the failed statement's RC. The per-row
  // statement is sent only when the set statement cannot answer for the
  // key.
  template <typename CopyRow>
  [[nodiscard]] RC read(ExportContext& context, std::string_view key, CopyRow&& copy) noexcept {
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
    return readSingleRow(context.session, perRowStatement(context, lookup_, key), std::forward<CopyRow>(copy));
  }

  // The tenant is done: its table is freed, the next tenant sends the set
  // statement again.
  void endTenant() noexcept { table_.clear(); }
  [[nodiscard]] const PersonLookup& description() const noexcept { return lookup_; }
  [[nodiscard]] const LookupTable& table() const noexcept { return table_; }

 private:
  LookupAnswer answer(ExportContext& context, std::string_view key, Row& row) noexcept;

  const PersonLookup& lookup_;
  LookupTable table_;
};

}  // namespace sstrxv
