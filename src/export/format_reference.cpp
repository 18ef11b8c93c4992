#include "export/format_reference.h"

#include <cstddef>
#include <string_view>

#include "support/text.h"

namespace sstrxv {
namespace {

constexpr std::string_view kIntroduction =
    "# Interface file formats\n"
    "\n"
    "<!-- Printed by sstrxv-formats from the line formats the writers use; do not edit.\n"
    "     Regenerate: build/sstrxv-formats > docs/formats.md -->\n"
    "\n"
    "Every line of an interface file is its fields in the order of the file's table, each value\n"
    "left-aligned and padded with blanks to the field's width, then the line end. Columns are\n"
    "counted from 1. A value read from the database is written byte for byte as stored, without\n"
    "any character-set conversion; a carriage return, line feed or NUL inside a value is written as\n"
    "a blank. A value longer than its field is cut to the field's width, except where the width says\n"
    "\"up to\": that field holds that many characters, and a longer value moves the fields after it\n"
    "and the line end to the right.\n"
    "\n"
    "The source of a field is the column of the writer's statement that fills it, or the rule that\n"
    "makes its value; \"of the tenant\" is the tenant being walked. An update file of selective\n"
    "creation is written in the format of its file type.\n";

std::string controlNames(std::string_view bytes) {
  std::string names;
  for (const char c : bytes) {
    if (!names.empty()) names += ' ';
    if (c == '\r') {
      names += "CR";
    } else if (c == '\n') {
      names += "LF";
    } else {
      appendFormat(names, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    }
  }
  return names;
}

// A table cell's text: a "|" would end the cell.
void appendCell(std::string& out, std::string_view text) {
  for (const char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
}

// "first-last", or the one column of a field one column wide.
void appendColumns(std::string& out, std::size_t first, std::size_t width) {
  if (width == 1) {
    appendFormat(out, "%zu", first);
  } else {
    appendFormat(out, "%zu-%zu", first, first + width - 1);
  }
}

void appendOverview(std::string& out, std::span<const FileLayout* const> layouts) {
  out += "\n| Type | File | Line length | Update file of selective creation |\n|---|---|---|---|\n";
  for (const FileLayout* layout : layouts) {
    const std::size_t columns = lineLength(*layout).fields + splitLineEnd(layout->lineEnd).columns.size();
    out += "| [`";
    out += layout->code;
    out += "`](#";
    for (const char c : layout->code) out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    out += ") | ";
    appendCell(out, layout->fileName);
    appendFormat(out, " | %zu | ", columns);
    if (!layout->updateFile.empty()) {
      out += '`';
      out += layout->updateFile;
      out += '`';
    }
    out += " |\n";
  }
}

void appendLayout(std::string& out, const FileLayout& layout) {
  const LineLength length = lineLength(layout);
  const LineEndParts end = splitLineEnd(layout.lineEnd);
  const std::size_t columns = length.fields + end.columns.size();

  out += "\n## ";
  out += layout.code;
  out += "\n\nFile ";
  out += layout.fileName;
  out += ". ";
  out += layout.description;
  appendFormat(out, "\n\nLine: %zu characters, then %s", columns, controlNames(end.control).c_str());
  if (length.fields > 0) {
    out += ": the fields in columns ";
    appendColumns(out, 1, length.fields);
  }
  if (!end.columns.empty()) {
    out += ", `";
    out += end.columns;
    out += "` in column";
    if (end.columns.size() > 1) out += 's';
    out += ' ';
    appendColumns(out, length.fields + 1, end.columns.size());
  }
  out += '.';
  if (length.longest > length.fields) {
    appendFormat(out, " Longer values of the fields marked \"up to\" make it up to %zu characters.",
                 length.longest + end.columns.size());
  }
  if (!layout.updateFile.empty()) {
    out += "\nSelective creation writes its update file `";
    out += layout.updateFile;
    out += "` in this format.";
  }

  out += "\n\n| Columns | Width | Field | Source |\n|---|---|---|---|\n";
  std::size_t first = 1;
  for (const FieldFormat& field : layout.fields) {
    out += "| ";
    appendColumns(out, first, field.width);
    appendFormat(out, " | %zu", field.width);
    if (field.capacity > field.width) appendFormat(out, " (up to %zu)", field.capacity);
    out += " | ";
    appendCell(out, field.name);
    out += " | ";
    appendCell(out, field.source);
    out += " |\n";
    first += field.width;
  }
  if (!end.columns.empty()) {
    out += "| ";
    appendColumns(out, first, end.columns.size());
    appendFormat(out, " | %zu | line end | `", end.columns.size());
    out += end.columns;
    out += "`, then ";
    out += controlNames(end.control);
    out += " |\n";
  }
}

}  // namespace

LineEndParts splitLineEnd(std::string_view lineEnd) noexcept {
  std::size_t printable = 0;
  while (printable < lineEnd.size() && static_cast<unsigned char>(lineEnd[printable]) >= 0x20) ++printable;
  return {lineEnd.substr(0, printable), lineEnd.substr(printable)};
}

LineLength lineLength(const FileLayout& layout) noexcept {
  LineLength length{0, 0};
  for (const FieldFormat& field : layout.fields) {
    length.fields += field.width;
    length.longest += field.capacity > field.width ? field.capacity : field.width;
  }
  return length;
}

std::string formatReference(std::span<const FileLayout* const> layouts) {
  std::string out(kIntroduction);
  appendOverview(out, layouts);
  for (const FileLayout* layout : layouts) appendLayout(out, *layout);
  return out;
}

}  // namespace sstrxv
