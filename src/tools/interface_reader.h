// Reading a delivered interface file back by the layout its writer used:
// the lines, their faults, their fields by name, shown as text or as CSV.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "export/record.h"

namespace sstrxv {

// The layout of a file type, by its code as the program takes it: the
// first three letters count, in any case ("idn", "IDN.imp" give IDN).
// nullptr when no layout has that code.
[[nodiscard]] const FileLayout* findLayout(std::string_view fileType) noexcept;

// One line of a file: the bytes before its line feed, without the carriage
// return before it.
struct FileLine {
  std::size_t number = 0;  // counted from 1
  std::string_view text;
  bool carriageReturn = false;  // the line feed had a carriage return before it
  bool lineFeed = false;        // false: the file ends inside this line
};

// The lines of a file's bytes; a file that ends with a line feed has no
// empty line after it.
[[nodiscard]] std::vector<FileLine> splitLines(std::string_view bytes);

// What is wrong with one line; empty for a sound line. A sound line is as
// wide as its type says (the "x" counted, CR LF not), ends in "x", CR, LF.
[[nodiscard]] std::string lineFaults(const FileLayout& layout, const FileLine& line);

// One field of a line: where it stands and its bytes, padding included.
struct FieldValue {
  const FieldFormat* field = nullptr;
  std::size_t firstColumn = 0;  // counted from 1
  std::size_t width = 0;        // columns it takes in this line
  std::string_view value;       // shorter than the field, or empty, on a short line
};

// The fields of one line. Columns beyond the fixed widths go to the field
// that may hold more than its width (the last field of BKL); the "x" at the
// end is not a field.
[[nodiscard]] std::vector<FieldValue> splitFields(const FileLayout& layout, std::string_view text);

// The value without the blanks that pad it to its width.
[[nodiscard]] std::string_view unpadded(std::string_view value) noexcept;

// "field=value": the lines whose field of that name (in any case) holds
// exactly that value, padding aside.
struct FieldMatch {
  std::string name;
  std::string value;
};

// Parses "name=value"; false when there is no "=" or no layout field has the name.
[[nodiscard]] bool parseFieldMatch(const FileLayout& layout, std::string_view text, FieldMatch& match);
[[nodiscard]] bool matchesAll(const std::vector<FieldValue>& fields, const std::vector<FieldMatch>& matches);

// How values are written: Windows-1252 bytes as they are, or as UTF-8.
enum class Encoding { kAsStored, kUtf8 };

// A value for a terminal: control bytes and the bytes that are no
// Windows-1252 character as \xNN, so that no value can move the cursor,
// end the line or start a control sequence; a backslash is doubled.
void appendShown(std::string& out, std::string_view value, Encoding encoding);
// A CSV cell: quoted when it holds a comma, a quote, CR or LF, quotes doubled.
void appendCsvCell(std::string& out, std::string_view value, Encoding encoding);

// "show": one block per line, "  <columns> <name>: <value>" per field.
// "csv": a header row of the field names, then one row per line.
// Both keep only the lines that match every FieldMatch; they return the
// number of lines written.
std::size_t appendShowBlocks(std::string& out, const FileLayout& layout, std::string_view bytes,
                             const std::vector<FieldMatch>& matches, Encoding encoding);
std::size_t appendCsvRows(std::string& out, const FileLayout& layout, std::string_view bytes,
                          const std::vector<FieldMatch>& matches, Encoding encoding);
// "check": one "line <n>: <faults>" per faulty line.
struct CheckCounts {
  std::size_t lines = 0;
  std::size_t faulty = 0;
};
CheckCounts appendCheckReport(std::string& out, const FileLayout& layout, std::string_view bytes);

}  // namespace sstrxv
