// The format reference: one layout per file type the program dispatches,
// and the columns it prints against those the importers know of each file.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "export/file_types.h"
#include "export/format_reference.h"

using namespace sstrxv;

namespace {

const FileLayout* layoutOf(std::string_view code) {
  for (const FileLayout* layout : fileLayouts()) {
    if (layout->code == code) return layout;
  }
  return nullptr;
}

std::string referenceOf(const FileLayout& layout) {
  const FileLayout* one[] = {&layout};
  return formatReference(one);
}

TEST(FormatReference, HasEveryDispatchedFileTypeWithNamedFields) {
  EXPECT_EQ(fileLayouts().size(), fileTypes().size());
  for (const FileTypeEntry& entry : fileTypes()) {
    const FileLayout* layout = layoutOf(entry.code);
    ASSERT_NE(layout, nullptr) << entry.code << " is missing from the reference";
    for (const FieldFormat& field : layout->fields) {
      EXPECT_FALSE(field.name.empty()) << entry.code;
      EXPECT_FALSE(field.source.empty()) << entry.code << " " << field.name;
      EXPECT_GE(field.capacity, field.width) << entry.code << " " << field.name;
    }
  }
}

// Columns as the importers' descriptions of the files give them.
TEST(FormatReference, PrintsTheColumnsOfEachFile) {
  struct Case {
    std::string_view code;
    std::string_view expected;
  };
  constexpr Case kCases[] = {
      {"MND", "| 66-79 | 14 | change date |"},
      {"MND", "Line: 130 characters, then CR LF: the fields in columns 1-129, `x` in column 130."},
      {"IDN", "| 259-263 | 5 | reserved | always blank |"},
      {"IDN", "| 333 | 1 | holder's access map |"},
      {"IDN", "| 364-366 | 3 | holder's calendar |"},
      {"IDN", "| 367 | 1 | line end | `x`, then CR LF |"},
      {"IDN", "update file `idstamm_upd.imp`"},
      {"KST", "| 31-35 | 5 | tenant number | tenant number of the tenant |"},
      {"BKL", "| 66 | 1 (up to 6) | class mark |"},
      {"BKL", "make it up to 72 characters"},
      {"BKL", "update file `aswbkl_upd.imp`"},
      {"FTG", "| 302 | 1 | line end |"},
      {"20P", "| 259-263 | 5 | time zone |"},
      {"20P", "update file `mgsst20p_upd.imp`"},
      {"35P", "| 281 | 1 | time booking allowed |"},
      {"35P", "update file `mgsst35p_upd.imp`"},
      {"41P", "| 278 | 1 | line end |"},
      {"41P", "update file `mgsst41p_upd.imp`"},
      {"SLD", "| 427-431 | 5 | traffic-light value |"},
      {"SLD", "| 432 | 1 | line end |"},
      {"MST", "| 165-172 | 8 | start date |"},
      {"MST", "| 210 | 1 | line end |"},
      {"MDT", "| 102-104 | 3 | reserved |"},
      {"FCD", "| 71-75 | 5 | linked function code |"},
  };
  for (const Case& c : kCases) {
    const FileLayout* layout = layoutOf(c.code);
    ASSERT_NE(layout, nullptr) << c.code;
    EXPECT_NE(referenceOf(*layout).find(c.expected), std::string::npos) << c.code << ": " << c.expected;
  }
}

TEST(FormatReference, KeepsTableCellsWholeAndNamesTheLineEnd) {
  constexpr LineFormat<2> kFormat = {field(3, "a|b", "x || y"), field(2, "c", "d")};
  const FileLayout layout = {
      .code = "TST", .fileName = "Test", .description = "A test.", .fields = kFormat, .lineEnd = "\r\n"};
  const std::string reference = referenceOf(layout);
  EXPECT_NE(reference.find("Line: 5 characters, then CR LF: the fields in columns 1-5.\n"), std::string::npos);
  EXPECT_NE(reference.find("| 1-3 | 3 | a\\|b | x \\|\\| y |\n| 4-5 | 2 | c | d |\n"), std::string::npos) << reference;
  EXPECT_EQ(reference.find("writes its update file"), std::string::npos);
}

}  // namespace
