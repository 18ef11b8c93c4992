#include "tools/interface_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "export/file_types.h"
#include "export/format_reference.h"
#include "support/platform.h"
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

bool control(unsigned char byte) noexcept { return byte < 0x20 || byte == 0x7F; }
bool highControl(unsigned char byte) noexcept { return byte >= 0x80 && byte < 0xA0; }

void appendEscaped(std::string& out, unsigned char byte) { appendFormat(out, "\\x%02X", static_cast<unsigned>(byte)); }

void appendCodePoint(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return;
  }
  if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (code & 0x3F));
}

void appendByte(std::string& out, unsigned char byte, Encoding encoding) {
  if (byte < 0x80 || encoding == Encoding::kAsStored) {
    out += static_cast<char>(byte);
    return;
  }
  appendCodePoint(out, byte < 0xA0 ? kHighControls[byte - 0x80u] : byte);
}

// One stored byte for the display: escaped where it could drive a terminal.
void appendStoredByte(std::string& out, unsigned char byte, const Display& display) {
  if (display.terminal &&
      (control(byte) || unassigned(byte) || (highControl(byte) && display.encoding == Encoding::kAsStored))) {
    appendEscaped(out, byte);
  } else {
    appendByte(out, byte, display.encoding);
  }
}

// The length of the UTF-8 sequence at text[i] and its code point; 0 when it is none.
std::size_t decodeUtf8(std::string_view text, std::size_t i, unsigned& code) noexcept {
  const auto first = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  if (first < 0x80) {
    code = first;
    return 1;
  }
  if ((first & 0xE0) == 0xC0) {
    length = 2, code = first & 0x1Fu;
  } else if ((first & 0xF0) == 0xE0) {
    length = 3, code = first & 0x0Fu;
  } else if ((first & 0xF8) == 0xF0) {
    length = 4, code = first & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  constexpr std::array<unsigned, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0;
  return length;
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

std::size_t indexOf(const FileLayout& layout, const FieldFormat* field) noexcept {
  return static_cast<std::size_t>(field - layout.fields.data());
}

std::string_view withoutLeadingZeros(std::string_view value) noexcept {
  const std::size_t first = value.find_first_not_of('0');
  return first == std::string_view::npos ? std::string_view() : value.substr(first);
}

constexpr std::size_t kLeadingZeroValuesNamed = 10;

// Keeps the lines that match every FieldMatch; calls emit with each kept
// line and its fields. Where a line matches but for leading zeros, its
// values are remembered for the message that nothing matched.
template <typename Emit>
Selection forEachMatchingLine(Output& out, const FileLayout& layout, LineReader& lines,
                              const std::vector<FieldMatch>& matches, Emit&& emit) {
  Selection selection;
  std::vector<FieldValue> fields;
  std::vector<std::string> nearValues;
  FileLine line;
  while (!out.failed() && lines.next(line)) {
    splitFields(layout, line.text, fields);
    bool exact = true;
    bool near = true;
    nearValues.clear();
    for (const FieldMatch& match : matches) {
      const std::string_view stored = unpadded(fields[indexOf(layout, match.field)].value);
      if (stored == match.value) continue;
      exact = false;
      if (withoutLeadingZeros(stored) != withoutLeadingZeros(match.value)) {
        near = false;
        break;
      }
      nearValues.push_back(std::string(match.field->name) + "=" + std::string(stored));
    }
    if (exact) {
      emit(line, fields);
      ++selection.written;
      out.pass();
    } else if (near) {
      for (std::string& value : nearValues) {
        std::vector<std::string>& named = selection.leadingZeroValues;
        if (named.size() < kLeadingZeroValuesNamed && std::find(named.begin(), named.end(), value) == named.end()) {
          named.push_back(std::move(value));
        }
      }
    }
  }
  return selection;
}

std::string columnsOf(std::size_t first, std::size_t width) {
  std::string columns = formatText("%zu", first);
  if (width > 1) appendFormat(columns, "-%zu", first + width - 1);
  return columns;
}

}  // namespace

const FileLayout* findLayout(std::string_view fileType) noexcept {
  const std::string_view code = fileType.substr(0, 3);
  for (const FileLayout* layout : fileLayouts()) {
    if (equalIgnoringCase(layout->code, code)) return layout;
  }
  return nullptr;
}

std::span<const std::string_view> keyFieldsOf(const FileLayout& layout) noexcept {
  for (const FileTypeEntry& entry : fileTypes()) {
    if (entry.layout == &layout) return entry.keyFields;
  }
  return {};
}

// ---------------------------------------------------------------- input

std::optional<InputFile> InputFile::open(const std::string& path, std::string& error) {
  const std::string native = platform::nativePath(path);
  struct stat named {};
  if (::stat(native.c_str(), &named) != 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  // A device, a FIFO or a directory is not even opened: opening some devices acts.
  if (!S_ISREG(named.st_mode)) {
    error = "not a regular file";
    return std::nullopt;
  }
  const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev ||
      opened.st_ino != named.st_ino) {
    ::close(fd);
    error = "not a regular file";
    return std::nullopt;
  }
  return InputFile(fd, static_cast<std::uint64_t>(opened.st_size));
}

InputFile::InputFile(InputFile&& other) noexcept : fd_(other.fd_), bytes_(other.bytes_), size_(other.size_) {
  other.fd_ = -1;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

long InputFile::readAt(std::uint64_t offset, char* into, std::size_t length) const noexcept {
  if (offset >= size_) return 0;
  length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
  if (fd_ < 0) {
    std::memcpy(into, bytes_.data() + offset, length);
    return static_cast<long>(length);
  }
  for (;;) {
    const ssize_t got = ::pread(fd_, into, length, static_cast<off_t>(offset));
    if (got >= 0 || errno != EINTR) return got;
  }
}

LineReader::LineReader(const InputFile& file, std::size_t longestKept)
    : file_(file), longestKept_(longestKept), buffer_(64 * 1024) {}

bool LineReader::fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const long got = file_.readAt(fileOffset_, buffer_.data() + end_, buffer_.size() - end_);
  if (got <= 0) {
    if (got < 0) error_ = errno;
    endOfFile_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  fileOffset_ += static_cast<std::uint64_t>(got);
  return true;
}

bool LineReader::next(FileLine& line) {
  if (error_ != 0) return false;
  line = FileLine{};
  line.offset = fileOffset_ - (end_ - begin_);
  std::uint64_t spilled = 0;
  long_.clear();
  tail_[0] = tail_[1] = 0;
  const auto keep = [this](std::string_view piece) {
    if (piece.size() >= 2) {
      tail_[0] = piece[piece.size() - 2];
      tail_[1] = piece.back();
    } else if (piece.size() == 1) {
      tail_[0] = tail_[1];
      tail_[1] = piece[0];
    }
  };
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const void* lineFeed = available > 0 ? std::memchr(start, '\n', available) : nullptr;
    if (lineFeed != nullptr || (endOfFile_ && (available > 0 || spilled > 0))) {
      const std::size_t size =
          lineFeed != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - start) : available;
      const std::string_view piece(start, size);
      begin_ += size + (lineFeed != nullptr ? 1 : 0);
      keep(piece);
      const std::uint64_t total = spilled + size;
      line.lineFeed = lineFeed != nullptr;
      line.carriageReturn = line.lineFeed && total > 0 && tail_[1] == '\r';
      line.length = total - (line.carriageReturn ? 1 : 0);
      line.lastByte = line.length == 0 ? '\0' : (line.carriageReturn ? tail_[0] : tail_[1]);
      std::string_view text = piece;
      if (spilled > 0) {
        long_.append(piece.substr(0, longestKept_ - std::min(longestKept_, long_.size())));
        text = long_;
      }
      line.text = text.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(line.length, longestKept_)));
      line.number = ++lines_;
      return true;
    }
    if (endOfFile_) return false;
    if (available == buffer_.size()) {  // a line longer than the buffer: keep its start
      const std::string_view piece(start, available);
      long_.append(piece.substr(0, longestKept_ - std::min(longestKept_, long_.size())));
      keep(piece);
      spilled += available;
      begin_ = end_ = 0;
    }
    if (!fill() && error_ != 0) return false;
  }
}

// ---------------------------------------------------------------- lines and fields

std::string lineFaults(const FileLayout& layout, const FileLine& line) {
  const LineLength length = lineLength(layout);
  const std::string_view mark = splitLineEnd(layout.lineEnd).columns;
  const std::uint64_t shortest = length.fields + mark.size();
  const std::uint64_t longest = length.longest + mark.size();
  std::string faults;
  const auto add = [&faults](std::string_view fault) {
    if (!faults.empty()) faults += "; ";
    faults += fault;
  };
  if (line.length < shortest || line.length > longest) {
    appendFormat(faults, "%llu characters, expected %llu", static_cast<unsigned long long>(line.length),
                 static_cast<unsigned long long>(shortest));
    if (longest > shortest) appendFormat(faults, " to %llu", static_cast<unsigned long long>(longest));
  }
  const bool whole = line.text.size() == line.length;
  const bool endsInMark = whole ? line.text.ends_with(mark) : mark.size() == 1 && line.lastByte == mark[0];
  if (!endsInMark) add("does not end in \"x\"");
  if (!line.lineFeed) {
    add("no line end: the file ends inside this line");
  } else if (!line.carriageReturn) {
    add("ends in LF without CR");
  }
  return faults;
}

void splitFields(const FileLayout& layout, std::string_view text, std::vector<FieldValue>& fields) {
  const std::string_view mark = splitLineEnd(layout.lineEnd).columns;
  if (text.ends_with(mark)) text.remove_suffix(mark.size());
  const std::size_t fixed = lineLength(layout).fields;
  const GrowingField growing = growingField(layout);
  const std::size_t extra = text.size() > fixed ? std::min(text.size() - fixed, growing.extra) : 0;

  fields.clear();
  std::size_t position = 0;
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const FieldFormat& field = layout.fields[i];
    const std::size_t width = field.width + (i == growing.index ? extra : 0);
    const std::string_view value = position < text.size() ? text.substr(position, width) : std::string_view();
    fields.push_back({&field, position + 1, width, value});
    position += width;
  }
}

std::vector<FieldValue> splitFields(const FileLayout& layout, std::string_view text) {
  std::vector<FieldValue> fields;
  splitFields(layout, text, fields);
  return fields;
}

std::string_view unpadded(std::string_view value) noexcept {
  const std::size_t last = value.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : value.substr(0, last + 1);
}

const FieldFormat* findField(const FileLayout& layout, std::string_view name) noexcept {
  for (const FieldFormat& field : layout.fields) {
    if (equalIgnoringCase(field.name, name)) return &field;
  }
  return nullptr;
}

std::string fieldNames(const FileLayout& layout) {
  std::string names;
  for (const FieldFormat& field : layout.fields) {
    if (!names.empty()) names += ", ";
    names += field.name;
  }
  return names;
}

bool windows1252FromUtf8(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < text.size();) {
    unsigned code = 0;
    const std::size_t length = decodeUtf8(text, i, code);
    if (length == 0) return false;
    i += length;
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      bytes += static_cast<char>(code);
      continue;
    }
    const auto high = std::find(kHighControls.begin(), kHighControls.end(), static_cast<char16_t>(code));
    if (code > 0xFFFF || high == kHighControls.end()) return false;
    bytes += static_cast<char>(0x80 + (high - kHighControls.begin()));
  }
  return true;
}

MatchParse parseFieldMatch(const FileLayout& layout, std::string_view text, Encoding typedIn, FieldMatch& match) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return MatchParse::kNoEquals;
  match.field = findField(layout, text.substr(0, equals));
  if (match.field == nullptr) return MatchParse::kUnknownField;
  match.typed = text.substr(equals + 1);
  if (typedIn == Encoding::kAsStored) {
    match.value = match.typed;
  } else if (!windows1252FromUtf8(match.typed, match.value)) {
    return MatchParse::kNotStorable;
  }
  return MatchParse::kOk;
}

// ---------------------------------------------------------------- display

void appendForDisplay(std::string& out, std::string_view text, Encoding fromEncoding, const Display& display) {
  if (fromEncoding == Encoding::kAsStored) {
    for (const char c : text) appendStoredByte(out, static_cast<unsigned char>(c), display);
    return;
  }
  if (!display.terminal) {
    out += text;
    return;
  }
  for (std::size_t i = 0; i < text.size();) {
    unsigned code = 0;
    const std::size_t length = decodeUtf8(text, i, code);
    if (length == 0 || code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
      for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
        appendEscaped(out, static_cast<unsigned char>(text[i + k]));
      }
      i += std::max<std::size_t>(length, 1);
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
}

void appendShown(std::string& out, std::string_view value, const Display& display) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (control(byte) || unassigned(byte)) {
      appendEscaped(out, byte);
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      appendStoredByte(out, byte, display);
    }
  }
}

CsvStyle germanSpreadsheetCsv() noexcept { return {';', true, true}; }

void appendCsvCell(std::string& out, std::string_view value, const CsvStyle& style, const Display& display) {
  // OWASP: a cell that begins with one of these may run as a formula.
  constexpr std::string_view kFormulaStarts = "=+-@\t\r";
  const bool guarded = style.formulaGuard && !value.empty() && kFormulaStarts.find(value[0]) != std::string_view::npos;
  const char special[] = {style.separator, '"', '\r', '\n', '\0'};
  const bool quoted = guarded || value.find_first_of(special) != std::string_view::npos;
  if (quoted) out += '"';
  if (guarded) out += '\'';
  if (!display.terminal && display.encoding == Encoding::kAsStored && value.find('"') == std::string_view::npos) {
    out += value;  // the bytes as stored
    if (quoted) out += '"';
    return;
  }
  for (const char c : value) {
    if (c == '"') out += '"';
    if (display.terminal && c == '\\') out += '\\';
    appendStoredByte(out, static_cast<unsigned char>(c), display);
  }
  if (quoted) out += '"';
}

// ---------------------------------------------------------------- output

bool Output::flush() {
  if (fd_ < 0 || failed()) {
    if (fd_ >= 0) text_.clear();
    return !failed();
  }
  std::size_t done = 0;
  while (done < text_.size()) {
    const ssize_t wrote = ::write(fd_, text_.data() + done, text_.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      error_ = wrote < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(wrote);
  }
  text_.clear();
  return !failed();
}

// ---------------------------------------------------------------- commands

Selection writeShowBlocks(Output& out, const FileLayout& layout, LineReader& lines, const SelectOptions& options) {
  std::size_t blocks = 0;
  // "  <columns> <name>:" of each field, made again only where a line's columns differ.
  std::vector<std::string> labels(layout.fields.size());
  std::vector<std::size_t> labelWidths(layout.fields.size());
  const auto show = [&](const FileLine& line, const std::vector<FieldValue>& fields) {
    std::string& text = out.text();
    if (blocks++ > 0) text += '\n';
    appendFormat(text, "line %zu\n", line.number);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const FieldValue& field = fields[i];
      if (labels[i].empty() || labelWidths[i] != field.width) {
        labels[i] = formatText("  %-8s %.*s:", columnsOf(field.firstColumn, field.width).c_str(),
                               static_cast<int>(field.field->name.size()), field.field->name.data());
        labelWidths[i] = field.width;
      }
      text += labels[i];
      if (const std::string_view value = unpadded(field.value); !value.empty()) {
        text += ' ';
        appendShown(text, value, options.display);
      }
      text += '\n';
    }
    if (const std::string faults = lineFaults(layout, line); !faults.empty()) {
      text += "  (";
      text += faults;
      text += ")\n";
    }
  };
  return forEachMatchingLine(out, layout, lines, options.matches, show);
}

Selection writeCsvRows(Output& out, const FileLayout& layout, LineReader& lines, const SelectOptions& options) {
  std::string& text = out.text();
  if (options.csv.byteOrderMark) text += "\xEF\xBB\xBF";
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    if (i > 0) text += options.csv.separator;
    appendCsvCell(text, layout.fields[i].name, options.csv, options.display);
  }
  text += "\r\n";
  return forEachMatchingLine(out, layout, lines, options.matches,
                             [&](const FileLine&, const std::vector<FieldValue>& fields) {
                               for (std::size_t i = 0; i < fields.size(); ++i) {
                                 if (i > 0) text += options.csv.separator;
                                 appendCsvCell(text, unpadded(fields[i].value), options.csv, options.display);
                               }
                               text += "\r\n";
                             });
}

CheckCounts writeCheckReport(Output& out, const FileLayout& layout, LineReader& lines) {
  CheckCounts counts;
  FileLine line;
  while (!out.failed() && lines.next(line)) {
    ++counts.lines;
    const std::string faults = lineFaults(layout, line);
    if (faults.empty()) continue;
    appendFormat(out.text(), "line %zu: %s\n", line.number, faults.c_str());
    ++counts.faulty;
    out.pass();
  }
  return counts;
}

void writeFieldList(Output& out, const FileLayout& layout) {
  const std::span<const std::string_view> keys = keyFieldsOf(layout);
  std::size_t column = 1;
  for (const FieldFormat& field : layout.fields) {
    std::string width = formatText("%zu", field.width);
    if (field.capacity > field.width) appendFormat(width, " (up to %zu)", field.capacity);
    const bool key = std::find(keys.begin(), keys.end(), field.name) != keys.end();
    appendFormat(out.text(), "%-8s %-11s %.*s%s\n", columnsOf(column, field.width).c_str(), width.c_str(),
                 static_cast<int>(field.name.size()), field.name.data(), key ? " (key)" : "");
    column += field.width;
  }
}

void writeTypeList(Output& out) {
  for (const FileLayout* layout : fileLayouts()) {
    out.text() += layout->code;
    out.text() += '\n';
  }
}

namespace {

// One record of the old file: where its line is, and the next of its key.
struct OldRecord {
  std::uint64_t offset;
  std::uint32_t kept;  // bytes of its text
  std::size_t number;
  std::size_t nextOfKey = kNone;
  bool matched = false;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
};

struct KeyChain {
  std::size_t unmatched;  // the first record of the key not yet matched
  std::size_t last;
};

// The key of a line: its key fields, unpadded, each with its length.
void keyOf(const std::vector<FieldValue>& fields, const std::vector<std::size_t>& keyIndexes, std::string& key) {
  key.clear();
  for (const std::size_t index : keyIndexes) {
    const std::string_view value = unpadded(fields[index].value);
    appendFormat(key, "%zu:", value.size());
    key += value;
  }
}

void appendKeyText(std::string& out, const std::vector<FieldValue>& fields, const std::vector<std::size_t>& keyIndexes,
                   const Display& display) {
  for (std::size_t k = 0; k < keyIndexes.size(); ++k) {
    const FieldValue& field = fields[keyIndexes[k]];
    if (k > 0) out += ", ";
    out += field.field->name;
    out += '=';
    appendShown(out, unpadded(field.value), display);
  }
}

}  // namespace

DiffCounts writeDiff(Output& out, const FileLayout& layout, const InputFile& oldFile, const InputFile& newFile,
                     const Display& display) {
  DiffCounts counts;
  std::vector<std::size_t> keyIndexes;
  for (const std::string_view name : keyFieldsOf(layout)) {
    if (const FieldFormat* field = findField(layout, name)) keyIndexes.push_back(indexOf(layout, field));
  }
  std::vector<OldRecord> records;
  std::unordered_map<std::string, KeyChain> keys;
  std::vector<FieldValue> fields;
  std::vector<FieldValue> oldFields;
  std::string key;
  FileLine line;

  LineReader oldLines(oldFile);
  while (oldLines.next(line)) {
    splitFields(layout, line.text, fields);
    keyOf(fields, keyIndexes, key);
    const std::size_t index = records.size();
    records.push_back({line.offset, static_cast<std::uint32_t>(line.text.size()), line.number});
    const auto [chain, added] = keys.try_emplace(key, KeyChain{index, index});
    if (!added) {
      records[chain->second.last].nextOfKey = index;
      chain->second.last = index;
    }
  }
  if ((counts.error = oldLines.error()) != 0) return counts;

  std::string oldText;
  const auto readOld = [&](const OldRecord& record) {
    oldText.resize(record.kept);
    const long got = oldFile.readAt(record.offset, oldText.data(), oldText.size());
    oldText.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (got < 0) counts.error = errno;
    splitFields(layout, oldText, oldFields);
  };

  LineReader newLines(newFile);
  std::string& text = out.text();
  while (!out.failed() && counts.error == 0 && newLines.next(line)) {
    splitFields(layout, line.text, fields);
    keyOf(fields, keyIndexes, key);
    const auto chain = keys.find(key);
    if (chain == keys.end() || chain->second.unmatched == OldRecord::kNone) {
      text += "added ";
      appendKeyText(text, fields, keyIndexes, display);
      appendFormat(text, " (new line %zu)\n", line.number);
      ++counts.added;
      out.pass();
      continue;
    }
    OldRecord& record = records[chain->second.unmatched];
    chain->second.unmatched = record.nextOfKey;
    record.matched = true;
    readOld(record);
    bool changed = false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string_view before = unpadded(oldFields[i].value);
      const std::string_view after = unpadded(fields[i].value);
      if (before == after) continue;
      if (!changed) {
        text += "changed ";
        appendKeyText(text, fields, keyIndexes, display);
        appendFormat(text, " (old line %zu, new line %zu)\n", record.number, line.number);
        changed = true;
      }
      appendFormat(text, "  %-8s %.*s: ", columnsOf(fields[i].firstColumn, fields[i].width).c_str(),
                   static_cast<int>(fields[i].field->name.size()), fields[i].field->name.data());
      appendShown(text, before, display);
      text += " -> ";
      appendShown(text, after, display);
      text += '\n';
    }
    ++(changed ? counts.changed : counts.same);
    out.pass();
  }
  if (counts.error == 0) counts.error = newLines.error();
  for (const OldRecord& record : records) {
    if (out.failed() || counts.error != 0) break;
    if (record.matched) continue;
    readOld(record);
    text += "removed ";
    appendKeyText(text, oldFields, keyIndexes, display);
    appendFormat(text, " (old line %zu)\n", record.number);
    ++counts.removed;
    out.pass();
  }
  return counts;
}

}  // namespace sstrxv
