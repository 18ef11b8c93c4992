#include "export/record.h"

#include "support/platform.h"

namespace sstrxv {

namespace {

// The importer reads the file line by line, and readers of C strings stop at
// a NUL: inside a value these bytes are written as blanks, so that every
// record stays one line of its width. Every other byte stays as stored.
void appendValue(std::string& line, std::string_view value) {
  const std::size_t start = line.size();
  line.append(value);
  if (value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos) return;
  for (std::size_t i = start; i < line.size(); ++i) {
    if (line[i] == '\r' || line[i] == '\n' || line[i] == '\0') line[i] = ' ';
  }
}

}  // namespace

void appendLine(std::string& line, std::span<const FieldFormat> format, std::span<const BoundedText> values) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    const std::string_view value = values[i].view();
    appendValue(line, value);
    if (value.size() < format[i].width) line.append(format[i].width - value.size(), ' ');
  }
  line.append(platform::kInterfaceLineEnd);
}

}  // namespace sstrxv
