// The run's first connection, with the credentials of the settings file.
#pragma once

#include "db/runtime.h"
#include "db/session.h"
#include "support/env.h"

namespace sstrxv {

// Reads NET8, LOGIN and PASS from the settings file at the environment's
// path, once per run (the reconnections use them again), and opens the
// session with them. Without a user it logs so, and the connect fails
// without a login. Returns 0 or the error number of the failed connect.
[[nodiscard]] RC connectWithSettings(DbSession& session) noexcept;

}  // namespace sstrxv
