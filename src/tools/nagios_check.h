// "sstrxv-check --nagios": a check for Nagios and Icinga of the interface
// files in the output directory. For each name given (the unit's instance:
// IDN for IDN.imp) it finds the file's age and lines; one status line, the
// worst state as exit code, and the age and lines of each file as
// performance data, as the plugin guidelines of the Monitoring Plugins
// project describe. The ages are checked against threshold ranges in the
// guidelines' form ("26h": more than 26 hours old; "@0:10m": younger than
// ten minutes), in seconds or with s, m, h or d.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sstrxv::monitoring {

enum NagiosState : int { kNagiosOk = 0, kNagiosWarning = 1, kNagiosCritical = 2, kNagiosUnknown = 3 };

// The check given its arguments (those after "--nagios") at the time now
// (seconds since the epoch): appends its output to out, returns its exit
// code. Wrong usage is UNKNOWN.
[[nodiscard]] int checkInterfaceFiles(std::span<const std::string_view> arguments, std::int64_t now, std::string& out);

// The whole mode: argv[0] is "--nagios", the check's arguments follow;, the clock, the timeout
// (-t, after which it ends as UNKNOWN), standard output.
[[nodiscard]] int runNagiosCheck(int argc, const char* const* argv);

}  // namespace sstrxv::monitoring
