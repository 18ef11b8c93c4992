// The file types the program writes, one table of them: the code that
// selects a type, its family, its writer, its line layout and its line of
// the usage text. The driver dispatches through it and prints the usage
// text from it; the format reference and the operator tools take the
// layouts from it. A new file type is its writer file and one line here;
// its code is spelled once, in its layout.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "export/frame.h"
#include "export/record.h"

namespace sstrxv {

// The folder a writer lives in. The format reference shows the families in
// this order, the types of one family in the order of the table.
enum class FileFamily { kMaster, kTerminal, kBalance, kStatus };

// How the usage text spells a code: "IDN", "20p", "Mnd".
enum class CodeCase { kUpper, kLower, kCapitalised };

struct FileTypeEntry {
  const std::string_view& code;  // the layout's: "20P", compared with the first three characters of the file type
  FileFamily family;
  Writer writer;
  const FileLayout* layout;
  std::span<const std::string_view> keyFields;  // the fields that identify a record: "badge number"
  CodeCase usageCase;                           // the code as its usage line spells it
  std::string_view usageText;                   // what follows the code in its usage line: "f. Datei MGSST20P"

  // Its line of the usage text, after the indent: "20p  f. Datei MGSST20P".
  [[nodiscard]] std::string usageLine() const;
};

// Every file type, in the order of dispatch and of the usage text.
[[nodiscard]] std::span<const FileTypeEntry> fileTypes() noexcept;

// The file type whose code equals the first three characters of fileType
// (compared case-sensitively), or nullptr.
[[nodiscard]] const FileTypeEntry* findFileType(std::string_view fileType) noexcept;

// The layouts of all file types, in the order of the format reference.
[[nodiscard]] std::span<const FileLayout* const> fileLayouts() noexcept;

}  // namespace sstrxv
