// Reading a delivered interface file back by the layout its writer used:
// the lines, their faults, their fields by name, shown as text or as CSV,
// and two files of one type compared record by record.
//
// Any file may be hostile: only regular files are read, line by line in a
// bounded buffer, so memory stays the same whatever the file's size, and
// nothing that reaches a terminal can drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/record.h"

namespace sstrxv {

// The layout of a file type, by its code as the program takes it: the
// first three letters count, in any case ("idn", "IDN.imp" give IDN).
// nullptr when no layout has that code.
[[nodiscard]] const FileLayout* findLayout(std::string_view fileType) noexcept;

// The fields that identify a record of the layout's type (see the file-type table).
[[nodiscard]] std::span<const std::string_view> keyFieldsOf(const FileLayout& layout) noexcept;

// A file to read: a regular file opened without blocking and without
// becoming its terminal, or bytes in memory. Only the bytes the file held
// when it was opened are read, so a file that keeps growing ends.
class InputFile {
 public:
  explicit InputFile(std::string_view bytes) noexcept : bytes_(bytes), size_(bytes.size()) {}
  // nullopt with the reason in `error` when the path is no regular file or
  // cannot be opened.
  [[nodiscard]] static std::optional<InputFile> open(const std::string& path, std::string& error);

  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&&) = delete;
  InputFile(const InputFile&) = delete;
  ~InputFile();

  [[nodiscard]] std::uint64_t size() const noexcept { return size_; }
  // Up to `length` bytes from `offset` (fewer at the end); -1 and errno on a read error.
  long readAt(std::uint64_t offset, char* into, std::size_t length) const noexcept;

 private:
  InputFile(int fd, std::uint64_t size) noexcept : fd_(fd), size_(size) {}
  int fd_ = -1;
  std::string_view bytes_;
  std::uint64_t size_ = 0;
};

// One line of a file: the bytes before its line feed, without the carriage
// return before it. A line longer than the reader keeps has only its first
// bytes in `text`; `length` counts them all.
struct FileLine {
  std::size_t number = 0;       // counted from 1
  std::uint64_t offset = 0;     // of its first byte in the file
  std::uint64_t length = 0;     // bytes of the line, CR and LF not counted
  std::string_view text;        // valid until the next line is read
  char lastByte = 0;            // the line's last byte (CR and LF not counted), 0 when empty
  bool carriageReturn = false;  // the line feed had a carriage return before it
  bool lineFeed = false;        // false: the file ends inside this line
};

// The lines of a file, one after the other, in a buffer of constant size.
// A file that ends with a line feed has no empty line after it.
class LineReader {
 public:
  // Longer lines keep their first bytes only: far more than any layout's line.
  static constexpr std::size_t kLongestKept = 16 * 1024;
  explicit LineReader(const InputFile& file, std::size_t longestKept = kLongestKept);

  // The next line; false at the end of the file or on a read error.
  bool next(FileLine& line);
  // The errno of a failed read, 0 when the file was read to its end.
  [[nodiscard]] int error() const noexcept { return error_; }

 private:
  bool fill();

  const InputFile& file_;
  std::size_t longestKept_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::uint64_t fileOffset_ = 0;  // of buffer_[end_]
  bool endOfFile_ = false;
  int error_ = 0;
  std::size_t lines_ = 0;
  std::string long_;       // the kept start of a line longer than the buffer
  char tail_[2] = {0, 0};  // the last two bytes of the line read so far
};

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

// The fields of one line into `fields`. Columns beyond the fixed widths go
// to the field that may hold more than its width (the last field of BKL);
// the "x" at the end is not a field.
void splitFields(const FileLayout& layout, std::string_view text, std::vector<FieldValue>& fields);
[[nodiscard]] std::vector<FieldValue> splitFields(const FileLayout& layout, std::string_view text);

// The value without the blanks that pad it to its width.
[[nodiscard]] std::string_view unpadded(std::string_view value) noexcept;

// The field of that name, in any case; nullptr when the layout has none.
[[nodiscard]] const FieldFormat* findField(const FileLayout& layout, std::string_view name) noexcept;
// "name, name, ...": every field name of the layout, for a message.
[[nodiscard]] std::string fieldNames(const FileLayout& layout);

// How values are written: Windows-1252 bytes as they are, or as UTF-8.
enum class Encoding { kAsStored, kUtf8 };

// Where the text goes: in which encoding, and whether to a terminal.
struct Display {
  Encoding encoding = Encoding::kAsStored;
  bool terminal = false;
};

// "field=value": the lines whose field holds exactly that value, padding
// aside. The value is typed in the display's encoding and kept as stored.
struct FieldMatch {
  const FieldFormat* field = nullptr;
  std::string typed;  // as the operator gave it
  std::string value;  // as it would be stored
};

enum class MatchParse { kOk, kNoEquals, kUnknownField, kNotStorable };
// Parses "name=value" (name in any case).
[[nodiscard]] MatchParse parseFieldMatch(const FileLayout& layout, std::string_view text, Encoding typedIn,
                                         FieldMatch& match);

// Windows-1252 bytes of a UTF-8 text; false when it is no UTF-8 or holds a
// character that Windows-1252 has not.
[[nodiscard]] bool windows1252FromUtf8(std::string_view text, std::string& bytes);

// A text for the display. To a terminal every C0 control byte, DEL and
// every byte 0x80 to 0x9F that is no character of the encoding shows as
// \xNN, so that nothing can move the cursor or start a control sequence;
// elsewhere the bytes stay. `fromEncoding` is what the text is in.
void appendForDisplay(std::string& out, std::string_view text, Encoding fromEncoding, const Display& display);

// A value for "show": control bytes, DEL and the bytes that are no
// Windows-1252 character always as \xNN, a backslash doubled; to a terminal
// in the stored encoding also 0x80 to 0x9F.
void appendShown(std::string& out, std::string_view value, const Display& display);
inline void appendShown(std::string& out, std::string_view value, Encoding encoding) {
  appendShown(out, value, Display{encoding, false});
}

// How CSV is written: RFC 4180 (comma, the display's encoding), or for
// spreadsheets with German settings (semicolon, UTF-8 with a byte-order
// mark, a cell that a spreadsheet would run as a formula prefixed with ').
struct CsvStyle {
  char separator = ',';
  bool formulaGuard = false;
  bool byteOrderMark = false;
};
[[nodiscard]] CsvStyle germanSpreadsheetCsv() noexcept;
// A CSV cell: quoted when it holds the separator, a quote, CR or LF, quotes doubled.
void appendCsvCell(std::string& out, std::string_view value, const CsvStyle& style, const Display& display);

// Output written in pieces to a file descriptor, or kept (fd -1). After a
// failed write nothing more is written; error() tells why.
class Output {
 public:
  explicit Output(int fd = -1) noexcept : fd_(fd) {}
  std::string& text() noexcept { return text_; }
  // Writes what has gathered once it is large.
  void pass() {
    if (fd_ >= 0 && text_.size() >= kPiece) flush();
  }
  bool flush();
  [[nodiscard]] bool failed() const noexcept { return error_ != 0; }
  [[nodiscard]] int error() const noexcept { return error_; }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  int fd_;
  std::string text_;
  int error_ = 0;
};

struct SelectOptions {
  std::vector<FieldMatch> matches;
  Display display;
  CsvStyle csv;
};

// The lines "show" and "csv" wrote; where none matched, the stored values
// of the lines that matched but for leading zeros ("badge number=0004711").
struct Selection {
  std::size_t written = 0;
  std::vector<std::string> leadingZeroValues;
};

// "show": one block per matching line, "  <columns> <name>: <value>" per field.
// "csv": a header row of the field names, then one row per matching line.
Selection writeShowBlocks(Output& out, const FileLayout& layout, LineReader& lines, const SelectOptions& options);
Selection writeCsvRows(Output& out, const FileLayout& layout, LineReader& lines, const SelectOptions& options);

// "check": one "line <n>: <faults>" per faulty line.
struct CheckCounts {
  std::size_t lines = 0;
  std::size_t faulty = 0;
};
CheckCounts writeCheckReport(Output& out, const FileLayout& layout, LineReader& lines);

// "fields": one line per field: its columns, width and name, "(key)" for a key field.
void writeFieldList(Output& out, const FileLayout& layout);

// "types": the code of every file type, one per line, in the order of the
// format reference.
void writeTypeList(Output& out);

// "diff": the records of NEW not in OLD, those of OLD not in NEW and those
// whose fields changed, matched by the type's key fields (the n-th record of
// a key in OLD with the n-th of that key in NEW); each change field by field.
// OLD's keys and line positions are kept, nothing of NEW.
struct DiffCounts {
  std::size_t added = 0;
  std::size_t removed = 0;
  std::size_t changed = 0;
  std::size_t same = 0;
  int error = 0;  // errno of a failed read of either file
};
DiffCounts writeDiff(Output& out, const FileLayout& layout, const InputFile& oldFile, const InputFile& newFile,
                     const Display& display);

}  // namespace sstrxv
