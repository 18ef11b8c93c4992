// What the program takes from its original Windows platform, in one place:
// backslash paths, the interface-file line end and the local time of log
// stamps. The pause and the clock of a run are its environment's (Env).
#pragma once

#include <string>
#include <string_view>

namespace sstrxv::platform {

// The bytes that end every line of an interface file: the letter "x",
// carriage return, line feed.
inline constexpr std::string_view kInterfaceLineEnd = "x\r\n";

// Turns a path written with the Windows separator into one this system can
// open: every backslash becomes "/".
std::string nativePath(std::string_view path);

// A write beyond the file-size limit fails with an error instead of ending
// the process with SIGXFSZ, so the write check of the interface file
// reports it.
void ignoreFileSizeSignal() noexcept;

// The current local date and time as "%Y-%m-%d %H:%M:%S".
std::string localTimestamp();

}  // namespace sstrxv::platform
