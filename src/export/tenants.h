// The tenants of the installation: the rows of the system tenant table
// that the tenant loop walks, and the cursor over them.
#pragma once

#include <cstddef>

#include "db/runtime.h"
#include "support/text.h"

namespace sstrxv {

struct DbSession;

// One row of the system tenant table. The values are kept whole (up to the
// longest name the server allows) because they are keys of further
// statements; the lines cut them to their fields.
struct Tenant {
  static constexpr std::size_t kCapacity = 64;
  BoundedText licenceNumber{kCapacity};  // MNDLIZ
  BoundedText tenantNumber{kCapacity};   // MNDNUM
  BoundedText schemaName{kCapacity};     // MNDSCH; checked before it is used
  BoundedText location{kCapacity};       // MNDSTO
  void clear() noexcept;
};

// The tenant cursor: the tenants whose MNDKON is 0 and whose schema is set,
// in the order the server delivers them.
[[nodiscard]] RC SQLOpenMvs112Mnd(DbSession& session, Cursor& tenantCursor) noexcept;
[[nodiscard]] RC SQLFetchMvs112Mnd(Cursor& tenantCursor, Tenant& tenant) noexcept;
RC SQLCloseMvs112Mnd(Cursor& tenantCursor) noexcept;

}  // namespace sstrxv
