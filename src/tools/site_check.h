// The set-up check of a site, run in the program's working directory before
// the first night: the settings file and its credentials, the connection,
// the product release, the tenants the tenant loop would walk, the log and
// output directories, SaldoRXV.ini and the premium file. It writes no
// interface file and no log line, and shows no password.
#pragma once

#include <string>
#include <string_view>

namespace sstrxv {

inline constexpr int kSiteCheckPassed = 0;
inline constexpr int kSiteCheckFailed = 1;

// Runs every check and appends one line per check to report ("OK    ..."
// or "FAIL  ..." with the reason), then a summary line. Returns
// kSiteCheckPassed only when every check passed.
[[nodiscard]] int checkSite(std::string_view outputDirectory, std::string& report) noexcept;

}  // namespace sstrxv
