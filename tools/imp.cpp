// sstrxv-imp: reads an interface file by the layout its writer used.
//   show   the lines as named fields, one block per line
//   csv    the same as CSV with a header row of the field names
//   check  the numbers of the lines that are not sound; exit code 1 then
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "export/record.h"
#include "support/descriptors.h"
#include "support/platform.h"
#include "tools/interface_reader.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFaults = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kHelp =
    "Usage: sstrxv-imp show TYPE FILE [--where FIELD=VALUE]... [--utf8]\n"
    "  or:  sstrxv-imp csv TYPE FILE [--where FIELD=VALUE]... [--utf8]\n"
    "  or:  sstrxv-imp check TYPE FILE\n"
    "Read an SSTRXV interface file by the field layout of its file type.\n"
    "\n"
    "TYPE is the file type as SSTRXV takes it (IDN, idn, 20P, ...); the update\n"
    "files of selective creation have the type of their full file (idstamm_upd.imp\n"
    "is IDN). The layouts are those of the format reference formats.md.\n"
    "\n"
    "  show     print every line as a block of fields: columns, name, value\n"
    "           (padding blanks removed, control bytes as \\xNN)\n"
    "  csv      print a header row of the field names, then one row per line\n"
    "           (padding blanks removed), for a spreadsheet\n"
    "  check    print the number of every line that is not as wide as its type\n"
    "           says or does not end in \"x\", CR, LF, and whether the file ends\n"
    "           inside a line\n"
    "\n"
    "Options:\n"
    "  --where FIELD=VALUE  only the lines whose field FIELD (its name in any case,\n"
    "                       e.g. \"personnel number\") holds VALUE; repeated: all of them\n"
    "  --utf8               values converted from Windows-1252 to UTF-8 (default:\n"
    "                       the bytes as stored)\n"
    "  --help               this text\n"
    "  --version            the version\n"
    "\n"
    "Exit status: 0 done (check: every line sound), 1 check found faulty lines,\n"
    "2 wrong usage or the file cannot be read.\n"
    "\n"
    "Example: sstrxv-imp show IDN IDN.imp --where \"badge number=0004711\"\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "sstrxv-imp: %s\nTry 'sstrxv-imp --help'.\n", message.c_str());
  return kExitUsage;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  const std::string native = sstrxv::platform::nativePath(path);
  std::error_code error;
  if (std::filesystem::is_directory(native, error)) return false;
  std::ifstream file(native, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

bool writeOut(std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int run(const std::vector<std::string_view>& args) {
  if (args.size() == 1 && args[0] == "--help") return writeOut(kHelp) ? kExitOk : kExitUsage;
  if (args.size() == 1 && args[0] == "--version") {
    return writeOut("sstrxv-imp " SSTRXV_VERSION "\n") ? kExitOk : kExitUsage;
  }
  if (args.size() < 3) return usageError("a command, a file type and a file are needed");
  const std::string_view command = args[0];
  if (command != "show" && command != "csv" && command != "check") {
    return usageError("unknown command '" + std::string(command) + "'");
  }
  const sstrxv::FileLayout* layout = sstrxv::findLayout(args[1]);
  if (layout == nullptr) return usageError("unknown file type '" + std::string(args[1]) + "'");

  std::vector<sstrxv::FieldMatch> matches;
  sstrxv::Encoding encoding = sstrxv::Encoding::kAsStored;
  for (std::size_t i = 3; i < args.size(); ++i) {
    if (command != "check" && args[i] == "--utf8") {
      encoding = sstrxv::Encoding::kUtf8;
    } else if (command != "check" && args[i] == "--where" && i + 1 < args.size()) {
      sstrxv::FieldMatch match;
      if (!sstrxv::parseFieldMatch(*layout, args[++i], match)) {
        return usageError("'" + std::string(args[i]) + "' names no field of " + std::string(layout->code) +
                          " (FIELD=VALUE; the names are those of 'show')");
      }
      matches.push_back(std::move(match));
    } else {
      return usageError("unexpected argument '" + std::string(args[i]) + "'");
    }
  }

  const std::string path(args[2]);
  std::string bytes;
  if (!readWholeFile(path, bytes)) {
    std::fprintf(stderr, "sstrxv-imp: cannot read %s\n", path.c_str());
    return kExitUsage;
  }
  std::string out;
  int code = kExitOk;
  if (command == "show") {
    sstrxv::appendShowBlocks(out, *layout, bytes, matches, encoding);
  } else if (command == "csv") {
    sstrxv::appendCsvRows(out, *layout, bytes, matches, encoding);
  } else {
    const sstrxv::CheckCounts counts = sstrxv::appendCheckReport(out, *layout, bytes);
    sstrxv::appendFormat(out, "%s: %zu lines of type %.*s, %zu faulty\n", path.c_str(), counts.lines,
                         static_cast<int>(layout->code.size()), layout->code.data(), counts.faulty);
    if (counts.faulty > 0) code = kExitFaults;
  }
  return writeOut(out) ? code : kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  try {
    return run(std::vector<std::string_view>(argv + 1, argv + argc));
  } catch (...) {
    std::fputs("sstrxv-imp: out of memory\n", stderr);
    return kExitUsage;
  }
}
