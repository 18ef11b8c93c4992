// The format reference: the line of every file type, field by field, as
// Markdown, printed from the same line formats the writers use.
#pragma once

#include <span>
#include <string>

#include "export/record.h"

namespace sstrxv {

// The layouts of all file types, in the order of the reference.
[[nodiscard]] std::span<const FileLayout* const> fileLayouts() noexcept;

// The reference of the given layouts: an overview, then per file type its
// line length, a table of its fields (columns counted from 1, width, name,
// source) and its line end.
[[nodiscard]] std::string formatReference(std::span<const FileLayout* const> layouts);

}  // namespace sstrxv
