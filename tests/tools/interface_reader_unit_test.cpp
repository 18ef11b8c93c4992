#include "tools/interface_reader.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "../support/scratch_dir.h"
#include "export/file_types.h"

namespace sstrxv {
namespace {

// A sound FCD line (75 columns of fields, then "x" CR LF).
std::string fcdLine(const std::string& number, const std::string& text) {
  return formatText("%-5s%-5s%-3s%-2s%-50s%-5s%-5sx\r\n", "L1", "M1", number.c_str(), "K", text.c_str(), "A", "-9");
}

// A sound BKL line: badge, class, a last field of the given value.
std::string bklLine(const std::string& badge, const std::string& cls, const std::string& last = "1") {
  return formatText("%-50s%-5s%-5s%-5s%-1sx\r\n", badge.c_str(), cls.c_str(), "L1", "M1", last.c_str());
}

std::string check(std::string_view type, const std::string& bytes) {
  Output report;
  const InputFile file(bytes);
  LineReader lines(file);
  writeCheckReport(report, *findLayout(type), lines);
  return report.text();
}

// The lines "show" or "csv" writes, and what it writes, for the given --where values.
struct Selected {
  Selection selection;
  std::string text;
};
Selected select(bool show, std::string_view type, const std::string& bytes, const std::vector<std::string>& wheres,
                Display display = {}, CsvStyle csv = {}) {
  const FileLayout& layout = *findLayout(type);
  SelectOptions options{{}, display, csv};
  for (const std::string& where : wheres) {
    options.matches.emplace_back();
    EXPECT_EQ(parseFieldMatch(layout, where, display.encoding, options.matches.back()), MatchParse::kOk) << where;
  }
  const InputFile file(bytes);
  LineReader lines(file);
  Output out;
  Selected result;
  result.selection = show ? writeShowBlocks(out, layout, lines, options) : writeCsvRows(out, layout, lines, options);
  result.text = out.text();
  return result;
}

TEST(InterfaceReaderTest, CheckNamesEveryFaultyLineAndWhatIsWrong) {
  const std::string good = fcdLine("1", "Krank");
  const std::string body = good.substr(0, good.size() - 3);
  struct Case {
    const char* name;
    std::string bytes;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"sound", good + good, ""},
      {"empty file", "", ""},
      {"short line", good + body.substr(1) + "x\r\n", "line 2: 75 characters, expected 76\n"},
      {"long line", good + body + " x\r\n", "line 2: 77 characters, expected 76\n"},
      {"missing x", body + " \r\n" + good, "line 1: does not end in \"x\"\n"},
      {"LF only", good + body + "x\n", "line 2: ends in LF without CR\n"},
      {"cut last line", good + body.substr(0, 20),
       "line 2: 20 characters, expected 76; does not end in \"x\"; no line end: the file ends inside this line\n"},
      {"whole line without its end", good + body + "x", "line 2: no line end: the file ends inside this line\n"},
      {"CR only merges two lines", body + "x\r" + good, "line 1: 153 characters, expected 76\n"},
      {"a line longer than the buffer", good + std::string(200000, 'a') + "x\r\n" + good,
       "line 2: 200001 characters, expected 76\n"},
      {"a long line that does not end in x", std::string(100000, 'a') + "\r\n",
       "line 1: 100000 characters, expected 76; does not end in \"x\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(check("FCD", c.bytes), c.report) << c.name;
}

TEST(InterfaceReaderTest, LinesKeepTheirStartOnlyAndCountEveryByte) {
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t kept;
    std::vector<std::uint64_t> lengths;
    std::vector<std::string> texts;
  };
  const std::string huge(300000, 'z');
  const std::vector<Case> cases = {
      {"short lines", "ab\r\ncd\n", 16, {2, 2}, {"ab", "cd"}},
      {"cut to what is kept", "abcdef\r\ng", 3, {6, 1}, {"abc", "g"}},
      {"CR beyond what is kept", "abcdef\r\n", 6, {6}, {"abcdef"}},
      {"longer than the buffer", huge + "\r\nend\n", 10, {huge.size(), 3}, {huge.substr(0, 10), "end"}},
      {"a CR alone at the end of a long line", huge + "\r", 4, {huge.size() + 1}, {"zzzz"}},
      {"empty lines", "\n\r\n", 4, {0, 0}, {"", ""}},
  };
  for (const Case& c : cases) {
    const InputFile file(c.bytes);
    LineReader lines(file, c.kept);
    FileLine line;
    std::vector<std::uint64_t> lengths;
    std::vector<std::string> texts;
    while (lines.next(line)) {
      lengths.push_back(line.length);
      texts.emplace_back(line.text);
    }
    EXPECT_EQ(lengths, c.lengths) << c.name;
    EXPECT_EQ(texts, c.texts) << c.name;
  }
}

class InterfaceFileTest : public test::ScratchDirTest {
 protected:
  InterfaceFileTest() : ScratchDirTest("imp") {}
  std::string path(const char* name) const { return (dir / name).string(); }
};

TEST_F(InterfaceFileTest, OnlyRegularFilesAreRead) {
  const std::string fifo = path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string sparse = path("sparse");
  std::ofstream(sparse) << "";
  std::filesystem::resize_file(sparse, std::uint64_t{1} << 27);
  std::filesystem::create_symlink(fifo, path("link-to-fifo"));
  std::filesystem::create_symlink(sparse, path("link-to-sparse"));
  struct Case {
    std::string path;
    bool opens;
  };
  const std::vector<Case> cases = {
      {fifo, false},         {path("link-to-fifo"), false}, {"/dev/zero", false}, {"/dev/null", false},
      {dir.string(), false}, {path("missing"), false},      {sparse, true},       {path("link-to-sparse"), true},
  };
  for (const Case& c : cases) {
    std::string error;
    const std::optional<InputFile> file = InputFile::open(c.path, error);
    EXPECT_EQ(file.has_value(), c.opens) << c.path << ": " << error;
    if (!file) continue;
    // 128 MiB of NULs are one line, read in the reader's buffer.
    LineReader lines(*file);
    FileLine line;
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line.length, file->size());
    EXPECT_EQ(line.text.size(), LineReader::kLongestKept);
    EXPECT_FALSE(lines.next(line));
  }
}

TEST(InterfaceReaderTest, TheClassFileMayGrowByFiveColumnsInItsLastField) {
  const std::string head = formatText("%-50s%-5s%-5s%-5s", "A1", "10", "L1", "M1");
  EXPECT_EQ(check("bkl", head + "1x\r\n" + head + "ABCDEFx\r\n"), "");
  EXPECT_EQ(check("BKL", head + "ABCDEFGx\r\n" + head + "x\r\n"),
            "line 1: 73 characters, expected 67 to 72\nline 2: 66 characters, expected 67 to 72\n");
  const std::string longest = head + "ABCDEFx";  // the fields are views into it
  const std::vector<FieldValue> fields = splitFields(*findLayout("BKL"), longest);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[4].value, "ABCDEF");
  EXPECT_EQ(fields[4].firstColumn, 66u);
  EXPECT_EQ(fields[4].width, 6u);
}

TEST(InterfaceReaderTest, FileTypesAreFoundLikeTheProgramFindsThem) {
  EXPECT_EQ(findLayout("idn")->code, "IDN");
  EXPECT_EQ(findLayout("20P")->code, "20P");
  EXPECT_EQ(findLayout("SLDX")->code, "SLD");
  EXPECT_EQ(findLayout("XYZ"), nullptr);
  EXPECT_EQ(findLayout(""), nullptr);
}

// Every name is one field of its type, so --where and diff can rely on it,
// and every key names a field.
TEST(InterfaceReaderTest, FieldNamesAreUniqueAndKeysNameFields) {
  for (const FileTypeEntry& type : fileTypes()) {
    for (const FieldFormat& field : type.layout->fields) {
      EXPECT_EQ(findField(*type.layout, field.name), &field) << type.code << ": " << field.name;
    }
    EXPECT_FALSE(type.keyFields.empty()) << type.code;
    for (const std::string_view key : type.keyFields) {
      EXPECT_NE(findField(*type.layout, key), nullptr) << type.code << ": " << key;
    }
  }
}

TEST(InterfaceReaderTest, ShowGivesEachMatchingLineAsNamedFieldsWithTheirColumns) {
  const std::string bytes = fcdLine("1", "Krank") + fcdLine("2", "K\xFC\x1B[2J\x9D\x7Fr\\") + fcdLine("12", "Urlaub");
  const Selected one = select(true, "FCD", bytes, {"FUNCTION-CODE number=2"}, {Encoding::kUtf8, false});
  EXPECT_EQ(one.selection.written, 1u);
  EXPECT_EQ(one.text,
            "line 2\n"
            "  1-5      licence number: L1\n"
            "  6-10     tenant number: M1\n"
            "  11-13    function-code number: 2\n"
            "  14-15    function-code short text: K\n"
            "  16-65    function-code text: K\xC3\xBC\\x1B[2J\\x9D\\x7Fr\\\\\n"
            "  66-70    function-code type: A\n"
            "  71-75    linked function code: -9\n");
  const Selected all = select(true, "FCD", bytes, {});
  EXPECT_EQ(all.selection.written, 3u);
  EXPECT_NE(all.text.find("\n\nline 3\n"), std::string::npos);
  // Padding does not count; a value is matched whole.
  for (const char* where : {"function-code number=1 ", "function-code number=", "function-code text=Kra"}) {
    EXPECT_EQ(select(true, "FCD", bytes, {where}).selection.written, 0u) << where;
  }
}

// What the operator types is compared in the display's encoding; values
// that differ only by leading zeros are named, not matched.
TEST(InterfaceReaderTest, WhereComparesInTheOperatorsEncoding) {
  const std::string bytes = bklLine("0000004711", "M\xFC") + bklLine("0000004711", "\x80") + bklLine("04711", "X");
  struct Case {
    std::string where;
    Encoding typedIn;
    std::size_t written;
    std::vector<std::string> leadingZeros;
  };
  const std::vector<Case> cases = {
      {"authorization class=M\xC3\xBC", Encoding::kUtf8, 1, {}},
      {"authorization class=M\xFC", Encoding::kAsStored, 1, {}},
      {"authorization class=M\xC3\xBC", Encoding::kAsStored, 0, {}},
      {"authorization class=\xE2\x82\xAC", Encoding::kUtf8, 1, {}},
      {"badge number=0000004711", Encoding::kUtf8, 2, {"badge number=04711"}},
      {"badge number=4711", Encoding::kUtf8, 0, {"badge number=0000004711", "badge number=04711"}},
  };
  for (const Case& c : cases) {
    const Selected result = select(false, "BKL", bytes, {c.where}, {c.typedIn, false});
    EXPECT_EQ(result.selection.written, c.written) << c.where;
    EXPECT_EQ(result.selection.leadingZeroValues, c.leadingZeros) << c.where;
  }
  // What names no field or what the file's encoding cannot hold is refused.
  FieldMatch match;
  for (const auto& [wrong, result] :
       std::vector<std::pair<const char*, MatchParse>>{{"badge number", MatchParse::kNoEquals},
                                                       {"nofield=1", MatchParse::kUnknownField},
                                                       {"=1", MatchParse::kUnknownField},
                                                       {"badge number=\xE2\x98\x83", MatchParse::kNotStorable},
                                                       {"badge number=\xC3", MatchParse::kNotStorable},
                                                       {"badge number=\xC0\x80", MatchParse::kNotStorable}}) {
    EXPECT_EQ(parseFieldMatch(*findLayout("BKL"), wrong, Encoding::kUtf8, match), result) << wrong;
  }
}

TEST(InterfaceReaderTest, CsvHasTheFieldNamesAndQuotesWhatWouldSplitACell) {
  const std::string bytes = fcdLine("1", "a,b \"c\"") + fcdLine("2", "\x80\xE4\x81");
  const Selected rows = select(false, "FCD", bytes, {});
  EXPECT_EQ(rows.selection.written, 2u);
  std::string header;
  for (const FieldFormat& field : findLayout("FCD")->fields)
    header += (header.empty() ? "" : ",") + std::string(field.name);
  EXPECT_EQ(rows.text, header +
                           "\r\n"
                           "L1,M1,1,K,\"a,b \"\"c\"\"\",A,-9\r\n"
                           "L1,M1,2,K,\x80\xE4\x81,A,-9\r\n");
  struct Case {
    std::string value;
    CsvStyle style;
    std::string cell;
  };
  const CsvStyle german = germanSpreadsheetCsv();
  const std::vector<Case> cases = {
      {"plain", {}, "plain"},      {"x\"y", {}, "\"x\"\"y\""},  {"a\rb", {}, "\"a\rb\""},
      {"a\nb", {}, "\"a\nb\""},    {"=1+2", {}, "=1+2"},        {"a;b", {}, "a;b"},
      {"a;b", german, "\"a;b\""},  {"a,b", german, "a,b"},      {"=1+2", german, "\"'=1+2\""},
      {"+1", german, "\"'+1\""},   {"-9", german, "\"'-9\""},   {"@SUM", german, "\"'@SUM\""},
      {"\tx", german, "\"'\tx\""}, {"\rx", german, "\"'\rx\""}, {"a=b", german, "a=b"},
  };
  for (const Case& c : cases) {
    std::string written;
    appendCsvCell(written, c.value, c.style, {});
    EXPECT_EQ(written, c.cell) << c.value;
  }
  std::string utf8;
  appendCsvCell(utf8, "\x80\xE4\x81\x9F\xFF", {}, {Encoding::kUtf8, false});
  EXPECT_EQ(utf8, "\xE2\x82\xAC\xC3\xA4\xC2\x81\xC5\xB8\xC3\xBF");
  const Selected spreadsheet = select(false, "FCD", bytes, {}, {Encoding::kUtf8, false}, german);
  EXPECT_TRUE(spreadsheet.text.starts_with("\xEF\xBB\xBFlicence number;tenant number;")) << spreadsheet.text;
  EXPECT_NE(spreadsheet.text.find(";\"'-9\"\r\n"), std::string::npos) << spreadsheet.text;
}

// Records are matched by their type's keys, also a key of several fields
// that occurs more than once.
TEST(InterfaceReaderTest, DiffFindsAddedRemovedAndChangedRecords) {
  struct Case {
    const char* name;
    std::string type;
    std::string oldBytes;
    std::string newBytes;
    DiffCounts counts;
    std::vector<std::string> shown;
  };
  const std::string a = fcdLine("1", "Krank"), b = fcdLine("2", "Urlaub"), third = fcdLine("3", "Dienstreise");
  const std::vector<Case> cases = {
      {"same", "FCD", a + b, a + b, {0, 0, 0, 2}, {}},
      {"order does not count", "FCD", a + b, b + a, {0, 0, 0, 2}, {}},
      {"added and removed", "FCD", a + b, a + third, {1, 1, 0, 1}, {"added ", "function-code number=3", "removed "}},
      {"changed",
       "FCD",
       a + b,
       a + fcdLine("2", "Sonderurlaub"),
       {0, 0, 1, 1},
       {"function-code number=2 (old line 2, new line 2)", "function-code text: Urlaub -> Sonderurlaub"}},
      {"class is part of the key",
       "BKL",
       bklLine("B1", "10") + bklLine("B1", "20"),
       bklLine("B1", "20") + bklLine("B1", "30"),
       {1, 1, 0, 1},
       {"added badge number=B1, authorization class=30", "removed badge number=B1, authorization class=10"}},
      {"the last field changed",
       "BKL",
       bklLine("B1", "10"),
       bklLine("B1", "10", "ABCDEF"),
       {0, 0, 1, 0},
       {"class mark: 1 -> ABCDEF"}},
      {"a repeated key is matched in order",
       "BKL",
       bklLine("B1", "10") + bklLine("B1", "10", "2"),
       bklLine("B1", "10") + bklLine("B1", "10", "2") + bklLine("B1", "10", "3"),
       {1, 0, 0, 2},
       {"(new line 3)"}},
  };
  for (const Case& c : cases) {
    const InputFile oldFile(c.oldBytes), newFile(c.newBytes);
    Output out;
    const DiffCounts counts = writeDiff(out, *findLayout(c.type), oldFile, newFile, {});
    const auto tally = [](const DiffCounts& d) { return std::tuple{d.added, d.removed, d.changed, d.same}; };
    EXPECT_EQ(tally(counts), tally(c.counts)) << c.name;
    for (const std::string& part : c.shown) EXPECT_NE(out.text().find(part), std::string::npos) << c.name << out.text();
    if (c.shown.empty()) {
      EXPECT_EQ(out.text(), "") << c.name;
    }
  }
}

}  // namespace
}  // namespace sstrxv
