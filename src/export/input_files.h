// The input files that the writers read besides the database, as the set-up
// check sees them: each with the name the check gives it and a check of the
// file at its path in the run's environment, reporting what a run would
// make of it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/env.h"

namespace sstrxv {

// What the check knows of the tenants a run would walk: their locations;
// nothing when the tenant table could not be read.
using TenantLocations = std::optional<std::vector<std::string>>;

// How the check shows a value of the site (a path, a slot name) in its
// lines: given by the check, which escapes what would drive a terminal.
using ShowValue = std::string (*)(std::string_view value);

// A checked input file: whether it passed, and the check's text.
struct InputFileVerdict {
  bool passed = false;
  std::string detail;
};

struct WriterInputFile {
  // The file as the check names it, with its path from the environment.
  std::string (*label)(const Env& env, ShowValue show);
  InputFileVerdict (*check)(const Env& env, const TenantLocations& locations, ShowValue show);
};

// The writers' input files, in the order the check reports them.
[[nodiscard]] std::span<const WriterInputFile> writerInputFiles() noexcept;

// A path (backslashes as separators) as the check shows it: "/" as separator.
[[nodiscard]] std::string shownPath(std::string_view path, ShowValue show);
// Whether anything is at a path.
[[nodiscard]] bool existsAt(std::string_view path) noexcept;
// What is wrong with a file the program reads at a path: "" when it is a
// readable regular file, else "missing (looked for <absolute path>)", "not
// a regular file" or the system's reason.
[[nodiscard]] std::string unreadableReason(std::string_view path, ShowValue show);

}  // namespace sstrxv
