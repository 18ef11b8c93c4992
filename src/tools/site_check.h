// The set-up check of a site before the first night, with the paths of a
// run's environment (the real one: in the program's working directory):
// the settings file and its credentials, the connection, the product
// release, the tenants the tenant loop would walk, the log and output
// directories and the writers' input files (SaldoRXV.ini and the premium
// file). It writes no interface file and no log line, and shows no password.
#pragma once

#include <string>
#include <string_view>

namespace sstrxv {

class Env;

inline constexpr int kSiteCheckPassed = 0;
inline constexpr int kSiteCheckFailed = 1;

// Runs every check and appends one line per check to report ("OK    ..."
// or "FAIL  ..." with the reason), then a summary line. Returns
// kSiteCheckPassed only when every check passed.
// Its database session logs and pauses in env, which opening it never does.
[[nodiscard]] int checkSite(Env& env, std::string_view outputDirectory, std::string& report) noexcept;

}  // namespace sstrxv
