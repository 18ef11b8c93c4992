// What the two monitoring tools share: the metrics file written after every
// run of the unit and the check for Nagios and Icinga. Both run with more
// rights than the users who may own the directories they read and write, so
// a path is walked one directory at a time without following any link, a
// file is read only when it is a regular file, and a file is written under a
// temporary name and takes its place in one rename.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "support/files.h"

namespace sstrxv::monitoring {

// The directory at path, opened (O_PATH) with every component looked up
// without following a link (platform::openDirectory, LinkRule::kFollowNone).
// An invalid handle with errno set when a component is missing (ENOENT), is
// a link (ELOOP), is no directory (ENOTDIR) or cannot be searched.
[[nodiscard]] platform::FileHandle openDirectory(const std::string& path) noexcept;

// What is at a path that should be a regular file.
enum class FileState {
  kRegular,      // a regular file, read whole
  kMissing,      // nothing at the path (or a directory on the way is missing)
  kNotRegular,   // a link, a directory, a FIFO or a device: never opened
  kUnreadable,   // a regular file that could not be opened or read
  kLinkOnTheWay  // a directory of the path is a link: not followed
};

// A regular file's line feeds and bytes, counted in one pass without
// holding the file, and the time it was last changed.
struct FileCount {
  FileState state = FileState::kMissing;
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
  std::timespec modified{};
};

// Counts the file at path (its directories walked as openDirectory does).
// Reads at most the size the file had when it was opened, so a file that
// keeps growing ends the count.
[[nodiscard]] FileCount countFile(const std::string& path) noexcept;

// The content of a regular file name in the directory dir, when it is at
// most limit bytes; nothing otherwise (also for a link or a FIFO).
[[nodiscard]] std::optional<std::string> readSmallFile(int dir, const std::string& name, std::size_t limit);

// Writes content to name in dir: a new hidden file created exclusively,
// given mode whatever the umask, brought to the disk and renamed over name,
// which replaces a link at name instead of writing through it. False with
// errno set when that fails; nothing stays behind then.
[[nodiscard]] bool replaceFile(int dir, const std::string& name, std::string_view content, mode_t mode) noexcept;

// Whether name can be a unit's instance name and a file name: 1 to 200
// letters, digits and ":-_.\", not starting with ".".
[[nodiscard]] bool isInstanceName(std::string_view name) noexcept;

// A text from outside for a status line or a message: bytes below 0x20,
// DEL, 0x80 to 0x9F and "|" (which starts the performance data) as \xNN.
[[nodiscard]] std::string shownName(std::string_view text);

}  // namespace sstrxv::monitoring
