// The run log: one time-stamped line per message, rotated to one
// predecessor file above 10 MiB, echoed to the console instead with /D.
#pragma once

#include <cstdint>
#include <string_view>

namespace sstrxv {

inline constexpr std::uintmax_t kLogRotationBytes = 10u * 1024u * 1024u;

// Writes one message. Never fails towards its caller: a message that cannot
// reach the log file goes to standard error instead of being lost.
void writeLog(std::string_view message) noexcept;

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
// Formats a message (the shared message text) and writes it with writeLog.
void logMessage(const char* format, ...) noexcept;

}  // namespace sstrxv
