#include "tools/interface_reader.h"

#include <algorithm>
#include <array>

#include "export/file_types.h"
#include "export/format_reference.h"
#include "support/text.h"

namespace sstrxv {
namespace {

char lowerCase(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerCase(x) == lowerCase(y); });
}

// The code points of Windows-1252 0x80 to 0x9F; the five unassigned bytes
// stand for the C1 controls of the same number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Bytes that are no character of Windows-1252; as UTF-8 they would be C1
// control codes.
bool unassigned(unsigned char byte) noexcept {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

void appendByte(std::string& out, unsigned char byte, Encoding encoding) {
  if (byte < 0x80 || encoding == Encoding::kAsStored) {
    out += static_cast<char>(byte);
    return;
  }
  const unsigned code = byte < 0xA0 ? kHighControls[byte - 0x80u] : byte;
  if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (code & 0x3F));
}

// The one field whose width grows with a longer value, and by how much at most.
struct GrowingField {
  std::size_t index;
  std::size_t extra;
};

GrowingField growingField(const FileLayout& layout) noexcept {
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const FieldFormat& field = layout.fields[i];
    if (field.capacity > field.width) return {i, field.capacity - field.width};
  }
  return {layout.fields.size(), 0};
}

// Keeps the lines that match; calls emit with each kept line and its fields.
template <typename Emit>
std::size_t forEachMatchingLine(const FileLayout& layout, std::string_view bytes,
                                const std::vector<FieldMatch>& matches, Emit&& emit) {
  std::size_t kept = 0;
  for (const FileLine& line : splitLines(bytes)) {
    const std::vector<FieldValue> fields = splitFields(layout, line.text);
    if (!matchesAll(fields, matches)) continue;
    emit(line, fields);
    ++kept;
  }
  return kept;
}

}  // namespace

const FileLayout* findLayout(std::string_view fileType) noexcept {
  const std::string_view code = fileType.substr(0, 3);
  for (const FileLayout* layout : fileLayouts()) {
    if (equalIgnoringCase(layout->code, code)) return layout;
  }
  return nullptr;
}

std::vector<FileLine> splitLines(std::string_view bytes) {
  std::vector<FileLine> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    FileLine line;
    line.number = lines.size() + 1;
    const std::size_t end = bytes.find('\n', start);
    line.lineFeed = end != std::string_view::npos;
    line.text = bytes.substr(start, line.lineFeed ? end - start : std::string_view::npos);
    if (line.lineFeed && !line.text.empty() && line.text.back() == '\r') {
      line.carriageReturn = true;
      line.text.remove_suffix(1);
    }
    lines.push_back(line);
    start = line.lineFeed ? end + 1 : bytes.size();
  }
  return lines;
}

std::string lineFaults(const FileLayout& layout, const FileLine& line) {
  const LineLength length = lineLength(layout);
  const std::string_view mark = splitLineEnd(layout.lineEnd).columns;
  const std::size_t shortest = length.fields + mark.size();
  const std::size_t longest = length.longest + mark.size();
  std::string faults;
  const auto add = [&faults](std::string_view fault) {
    if (!faults.empty()) faults += "; ";
    faults += fault;
  };
  if (line.text.size() < shortest || line.text.size() > longest) {
    appendFormat(faults, "%zu characters, expected %zu", line.text.size(), shortest);
    if (longest > shortest) appendFormat(faults, " to %zu", longest);
  }
  if (!line.text.ends_with(mark)) add("does not end in \"x\"");
  if (!line.lineFeed) {
    add("no line end: the file ends inside this line");
  } else if (!line.carriageReturn) {
    add("ends in LF without CR");
  }
  return faults;
}

std::vector<FieldValue> splitFields(const FileLayout& layout, std::string_view text) {
  const std::string_view mark = splitLineEnd(layout.lineEnd).columns;
  if (text.ends_with(mark)) text.remove_suffix(mark.size());
  const std::size_t fixed = lineLength(layout).fields;
  const GrowingField growing = growingField(layout);
  const std::size_t extra = text.size() > fixed ? std::min(text.size() - fixed, growing.extra) : 0;

  std::vector<FieldValue> fields;
  fields.reserve(layout.fields.size());
  std::size_t position = 0;
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const FieldFormat& field = layout.fields[i];
    const std::size_t width = field.width + (i == growing.index ? extra : 0);
    const std::string_view value = position < text.size() ? text.substr(position, width) : std::string_view();
    fields.push_back({&field, position + 1, width, value});
    position += width;
  }
  return fields;
}

std::string_view unpadded(std::string_view value) noexcept {
  const std::size_t last = value.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : value.substr(0, last + 1);
}

bool parseFieldMatch(const FileLayout& layout, std::string_view text, FieldMatch& match) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view name = text.substr(0, equals);
  const bool known = std::any_of(layout.fields.begin(), layout.fields.end(),
                                 [&](const FieldFormat& field) { return equalIgnoringCase(field.name, name); });
  if (!known) return false;
  match.name = name;
  match.value = text.substr(equals + 1);
  return true;
}

bool matchesAll(const std::vector<FieldValue>& fields, const std::vector<FieldMatch>& matches) {
  return std::all_of(matches.begin(), matches.end(), [&](const FieldMatch& match) {
    return std::any_of(fields.begin(), fields.end(), [&](const FieldValue& field) {
      return equalIgnoringCase(field.field->name, match.name) && unpadded(field.value) == match.value;
    });
  });
}

void appendShown(std::string& out, std::string_view value, Encoding encoding) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || unassigned(byte)) {
      appendFormat(out, "\\x%02X", static_cast<unsigned>(byte));
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      appendByte(out, byte, encoding);
    }
  }
}

void appendCsvCell(std::string& out, std::string_view value, Encoding encoding) {
  const bool quoted = value.find_first_of(",\"\r\n") != std::string_view::npos;
  if (quoted) out += '"';
  for (const char c : value) {
    if (c == '"') out += '"';
    appendByte(out, static_cast<unsigned char>(c), encoding);
  }
  if (quoted) out += '"';
}

std::size_t appendShowBlocks(std::string& out, const FileLayout& layout, std::string_view bytes,
                             const std::vector<FieldMatch>& matches, Encoding encoding) {
  return forEachMatchingLine(layout, bytes, matches, [&](const FileLine& line, const std::vector<FieldValue>& fields) {
    if (out.size() > 0) out += '\n';
    appendFormat(out, "line %zu\n", line.number);
    for (const FieldValue& field : fields) {
      std::string columns = formatText("%zu", field.firstColumn);
      if (field.width > 1) appendFormat(columns, "-%zu", field.firstColumn + field.width - 1);
      appendFormat(out, "  %-8s ", columns.c_str());
      appendShown(out, field.field->name, Encoding::kAsStored);
      out += ':';
      if (const std::string_view value = unpadded(field.value); !value.empty()) {
        out += ' ';
        appendShown(out, value, encoding);
      }
      out += '\n';
    }
    if (const std::string faults = lineFaults(layout, line); !faults.empty()) {
      out += "  (";
      out += faults;
      out += ")\n";
    }
  });
}

std::size_t appendCsvRows(std::string& out, const FileLayout& layout, std::string_view bytes,
                          const std::vector<FieldMatch>& matches, Encoding encoding) {
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    if (i > 0) out += ',';
    appendCsvCell(out, layout.fields[i].name, Encoding::kAsStored);
  }
  out += "\r\n";
  return forEachMatchingLine(layout, bytes, matches, [&](const FileLine&, const std::vector<FieldValue>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += ',';
      appendCsvCell(out, unpadded(fields[i].value), encoding);
    }
    out += "\r\n";
  });
}

CheckCounts appendCheckReport(std::string& out, const FileLayout& layout, std::string_view bytes) {
  CheckCounts counts;
  for (const FileLine& line : splitLines(bytes)) {
    ++counts.lines;
    const std::string faults = lineFaults(layout, line);
    if (faults.empty()) continue;
    appendFormat(out, "line %zu: %s\n", line.number, faults.c_str());
    ++counts.faulty;
  }
  return counts;
}

}  // namespace sstrxv
