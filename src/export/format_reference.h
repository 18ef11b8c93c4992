// The format reference: the line of every file type, field by field, as
// Markdown, printed from the same line formats the writers use.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "export/record.h"

namespace sstrxv {

// The line end splits into the part that takes columns ("x") and the
// control bytes after it (CR LF).
struct LineEndParts {
  std::string_view columns;
  std::string_view control;
};
[[nodiscard]] LineEndParts splitLineEnd(std::string_view lineEnd) noexcept;

struct LineLength {
  std::size_t fields;   // columns of the fields
  std::size_t longest;  // columns of the fields with every value at its capacity
};
[[nodiscard]] LineLength lineLength(const FileLayout& layout) noexcept;

// The reference of the given layouts: an overview, then per file type its
// line length, a table of its fields (columns counted from 1, width, name,
// source) and its line end.
[[nodiscard]] std::string formatReference(std::span<const FileLayout* const> layouts);

}  // namespace sstrxv
