// sstrxv-imp: reads an interface file by the layout its writer used.
//   show    the lines as named fields, one block per line
//   csv     the same as CSV with a header row of the field names
//   check   the numbers of the lines that are not sound; exit code 1 then
//   fields  the fields of a type
//   types   the file types, one code per line
//   diff    the records added, removed and changed between two files of a type
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/record.h"
#include "support/descriptors.h"
#include "support/memory.h"
#include "support/platform.h"
#include "support/text.h"
#include "tools/interface_reader.h"

namespace {

using sstrxv::Display;
using sstrxv::Encoding;

constexpr int kExitOk = 0;
constexpr int kExitFound = 1;  // check: faulty lines; show, csv: no line matched; diff: the files differ
constexpr int kExitUsage = 2;
// Out of memory: what cannot be read or written is reported with 2.
constexpr sstrxv::MemoryExhaustion kOutOfMemory{"sstrxv-imp: out of memory\n", kExitUsage};

constexpr std::string_view kHelp =
    "Usage: sstrxv-imp show TYPE FILE [--where FIELD=VALUE]... [--utf8|--stored]\n"
    "  or:  sstrxv-imp csv TYPE FILE [--where FIELD=VALUE]... [--utf8|--stored] [--german]\n"
    "  or:  sstrxv-imp check TYPE FILE\n"
    "  or:  sstrxv-imp fields TYPE\n"
    "  or:  sstrxv-imp diff TYPE OLD NEW [--utf8|--stored]\n"
    "  or:  sstrxv-imp types\n"
    "Read an SSTRXV interface file by the field layout of its file type.\n"
    "\n"
    "TYPE is the file type as SSTRXV takes it (IDN, idn, 20P, ...); the update\n"
    "files of selective creation have the type of their full file (idstamm_upd.imp\n"
    "is IDN). The layouts are those of the format reference formats.md.\n"
    "Only regular files are read.\n"
    "\n"
    "  show     print every line as a block of fields: columns, name, value\n"
    "           (padding blanks removed, control bytes as \\xNN)\n"
    "  csv      print a header row of the field names, then one row per line\n"
    "           (padding blanks removed), for a spreadsheet; RFC 4180\n"
    "  check    print the number of every line that is not as wide as its type\n"
    "           says or does not end in \"x\", CR, LF, and whether the file ends\n"
    "           inside a line\n"
    "  fields   print the fields of TYPE: columns, width, name; \"(key)\" marks\n"
    "           the fields that identify a record\n"
    "  diff     print the records added to NEW, removed from OLD and changed\n"
    "           (each changed field with its old and new value), matched by the\n"
    "           key fields of TYPE, then the counts\n"
    "  types    print the code of every file type, one per line\n"
    "\n"
    "Values are shown in the terminal's encoding: converted from Windows-1252 to\n"
    "UTF-8 when the locale's character set is UTF-8 (csv: only when standard\n"
    "output is a terminal, a file gets the bytes as stored). On a terminal every\n"
    "control byte, DEL and 0x80 to 0x9F that is no character shows as \\xNN.\n"
    "\n"
    "Options:\n"
    "  --where FIELD=VALUE  only the lines whose field FIELD (its name in any case,\n"
    "                       e.g. \"personnel number\") holds VALUE, as typed in the\n"
    "                       terminal's encoding; repeated: all of them\n"
    "  --utf8               values converted from Windows-1252 to UTF-8, VALUE\n"
    "                       typed in UTF-8\n"
    "  --stored             values as the bytes stored, VALUE taken as those bytes\n"
    "  --german             csv for spreadsheets with German settings: semicolons,\n"
    "                       UTF-8 with a byte-order mark, a cell beginning with\n"
    "                       = + - @ tab or CR prefixed with ' (it is no formula)\n"
    "  --help               this text\n"
    "  --version            the version\n"
    "\n"
    "Exit status: 0 done (check: every line sound; diff: the same records),\n"
    "1 check found faulty lines, show or csv --where matched no line, diff found\n"
    "differences; 2 wrong usage, a file that cannot be read or output that cannot\n"
    "be written.\n"
    "\n"
    "Example: sstrxv-imp show IDN IDN.imp --where \"badge number=0004711\"\n";

// Where the program's text goes: the operator's encoding and which of the
// standard outputs are terminals.
struct Terminal {
  Encoding typed = Encoding::kAsStored;  // the locale's: what arguments are in
  bool outIsTerminal = false;
  bool errIsTerminal = false;
};

class Program {
 public:
  explicit Program(const Terminal& terminal) : terminal_(terminal) {}
  int run(const std::vector<std::string_view>& args);

 private:
  // Parts of a message on standard error, escaped for a terminal there.
  [[nodiscard]] std::string typed(std::string_view text) const {
    std::string out;
    sstrxv::appendForDisplay(out, text, terminal_.typed, {terminal_.typed, terminal_.errIsTerminal});
    return out;
  }
  [[nodiscard]] std::string stored(std::string_view text) const {
    std::string out;
    sstrxv::appendForDisplay(out, text, Encoding::kAsStored, {terminal_.typed, terminal_.errIsTerminal});
    return out;
  }
  static void message(const std::string& text) { std::fprintf(stderr, "sstrxv-imp: %s\n", text.c_str()); }
  static int usageError(const std::string& text) {
    std::fprintf(stderr, "sstrxv-imp: %s\nTry 'sstrxv-imp --help'.\n", text.c_str());
    return kExitUsage;
  }
  int cannotRead(std::string_view path, const std::string& reason) const {
    message("cannot read " + typed(path) + ": " + reason);
    return kExitUsage;
  }
  // The end of every command: what is left written, or why it could not be.
  static int finish(sstrxv::Output& out, int code) {
    if (out.flush()) return code;
    message(std::string("cannot write standard output: ") + std::strerror(out.error()));
    return kExitUsage;
  }
  std::optional<sstrxv::InputFile> open(std::string_view path) const {
    std::string reason;
    std::optional<sstrxv::InputFile> file = sstrxv::InputFile::open(std::string(path), reason);
    if (!file) cannotRead(path, reason);
    return file;
  }
  int select(std::string_view command, const sstrxv::FileLayout& layout, std::string_view path,
             const sstrxv::SelectOptions& options);

  Terminal terminal_;
};

int Program::select(std::string_view command, const sstrxv::FileLayout& layout, std::string_view path,
                    const sstrxv::SelectOptions& options) {
  const std::optional<sstrxv::InputFile> file = open(path);
  if (!file) return kExitUsage;
  sstrxv::LineReader lines(*file);
  sstrxv::Output out(STDOUT_FILENO);
  const sstrxv::Selection selection = command == "show" ? sstrxv::writeShowBlocks(out, layout, lines, options)
                                                        : sstrxv::writeCsvRows(out, layout, lines, options);
  if (lines.error() != 0) {
    out.flush();
    return cannotRead(path, std::strerror(lines.error()));
  }
  if (selection.written > 0 || options.matches.empty()) return finish(out, kExitOk);
  const int code = finish(out, kExitFound);
  if (code != kExitFound) return code;
  std::string text = "no line of " + typed(path) + " has ";
  for (std::size_t i = 0; i < options.matches.size(); ++i) {
    if (i > 0) text += " and ";
    text += std::string(options.matches[i].field->name) + "=" + typed(options.matches[i].typed);
  }
  if (!selection.leadingZeroValues.empty()) {
    text += "; stored with other leading zeros:";
    for (const std::string& value : selection.leadingZeroValues) text += " " + stored(value);
  }
  message(text);
  return kExitFound;
}

int Program::run(const std::vector<std::string_view>& args) {
  sstrxv::Output out(STDOUT_FILENO);
  if (args.size() == 1 && args[0] == "--help") {
    out.text() = kHelp;
    return finish(out, kExitOk);
  }
  if (args.size() == 1 && args[0] == "--version") {
    out.text() = "sstrxv-imp " SSTRXV_VERSION "\n";
    return finish(out, kExitOk);
  }
  if (args.empty()) return usageError("a command is needed");
  const std::string_view command = args[0];
  if (command == "types") {
    if (args.size() > 1) return usageError("unexpected argument '" + typed(args[1]) + "'");
    sstrxv::writeTypeList(out);
    return finish(out, kExitOk);
  }
  const bool select = command == "show" || command == "csv";
  const std::size_t files = command == "diff" ? 2 : command == "fields" ? 0 : 1;
  if (!select && command != "check" && command != "fields" && command != "diff") {
    return usageError("unknown command '" + typed(command) + "'");
  }
  if (args.size() < 2 + files) {
    return usageError(files == 0   ? "a file type is needed"
                      : files == 1 ? "a file type and a file are needed"
                                   : "a file type and two files are needed");
  }
  const sstrxv::FileLayout* layout = sstrxv::findLayout(args[1]);
  if (layout == nullptr) return usageError("unknown file type '" + typed(args[1]) + "'");

  std::optional<Encoding> chosen;
  bool german = false;
  std::vector<std::string_view> wheres;
  for (std::size_t i = 2 + files; i < args.size(); ++i) {
    const bool encodingOption = args[i] == "--utf8" || args[i] == "--stored";
    if ((select || command == "diff") && encodingOption) {
      chosen = args[i] == "--utf8" ? Encoding::kUtf8 : Encoding::kAsStored;
    } else if (command == "csv" && args[i] == "--german") {
      german = true;
    } else if (select && args[i] == "--where" && i + 1 < args.size()) {
      wheres.push_back(args[++i]);
    } else {
      return usageError("unexpected argument '" + typed(args[i]) + "'");
    }
  }

  sstrxv::SelectOptions options;
  options.display.terminal = terminal_.outIsTerminal;
  options.display.encoding =
      chosen.value_or(command == "csv" && !terminal_.outIsTerminal ? Encoding::kAsStored : terminal_.typed);
  if (german) {
    options.csv = sstrxv::germanSpreadsheetCsv();
    options.display.encoding = Encoding::kUtf8;
  }
  for (const std::string_view where : wheres) {
    sstrxv::FieldMatch match;
    switch (sstrxv::parseFieldMatch(*layout, where, chosen.value_or(terminal_.typed), match)) {
      case sstrxv::MatchParse::kOk:
        options.matches.push_back(std::move(match));
        break;
      case sstrxv::MatchParse::kNoEquals:
        return usageError("'" + typed(where) + "' is no FIELD=VALUE");
      case sstrxv::MatchParse::kUnknownField:
        return usageError("'" + typed(where.substr(0, where.find('='))) + "' names no field of " +
                          std::string(layout->code) + "; its fields: " + sstrxv::fieldNames(*layout));
      case sstrxv::MatchParse::kNotStorable:
        return usageError("'" + typed(where) + "' holds a character that no stored value can hold");
    }
  }

  if (command == "fields") {
    sstrxv::writeFieldList(out, *layout);
    return finish(out, kExitOk);
  }
  if (select) return this->select(command, *layout, args[2], options);
  const std::optional<sstrxv::InputFile> file = open(args[2]);
  if (!file) return kExitUsage;
  if (command == "check") {
    sstrxv::LineReader lines(*file);
    const sstrxv::CheckCounts counts = sstrxv::writeCheckReport(out, *layout, lines);
    if (lines.error() != 0) {
      out.flush();
      return cannotRead(args[2], std::strerror(lines.error()));
    }
    std::string path;
    sstrxv::appendForDisplay(path, args[2], terminal_.typed, {terminal_.typed, terminal_.outIsTerminal});
    sstrxv::appendFormat(out.text(), "%s: %zu lines of type %.*s, %zu faulty\n", path.c_str(), counts.lines,
                         static_cast<int>(layout->code.size()), layout->code.data(), counts.faulty);
    return finish(out, counts.faulty > 0 ? kExitFound : kExitOk);
  }
  const std::optional<sstrxv::InputFile> newFile = open(args[3]);
  if (!newFile) return kExitUsage;
  const sstrxv::DiffCounts counts = sstrxv::writeDiff(out, *layout, *file, *newFile, options.display);
  if (counts.error != 0) {
    out.flush();
    message(std::string("cannot read ") + typed(args[2]) + " or " + typed(args[3]) + ": " +
            std::strerror(counts.error));
    return kExitUsage;
  }
  sstrxv::appendFormat(out.text(), "%zu added, %zu removed, %zu changed, %zu the same\n", counts.added, counts.removed,
                       counts.changed, counts.same);
  return finish(out, counts.added + counts.removed + counts.changed > 0 ? kExitFound : kExitOk);
}

}  // namespace

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  sstrxv::endProcessWhenMemoryRunsOut<kOutOfMemory>();
  // Only the character type: numbers and messages stay as they are.
  std::setlocale(LC_CTYPE, "");
  Terminal terminal;
  terminal.typed = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0 ? Encoding::kUtf8 : Encoding::kAsStored;
  terminal.outIsTerminal = isatty(STDOUT_FILENO) == 1;
  terminal.errIsTerminal = isatty(STDERR_FILENO) == 1;
  return Program(terminal).run(std::vector<std::string_view>(argv + 1, argv + argc));
}
