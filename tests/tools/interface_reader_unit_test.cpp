#include "tools/interface_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sstrxv {
namespace {

// A sound FCD line (75 columns of fields, then "x" CR LF).
std::string fcdLine(const std::string& number, const std::string& text) {
  return formatText("%-5s%-5s%-3s%-2s%-50s%-5s%-5sx\r\n", "L1", "M1", number.c_str(), "K", text.c_str(), "A", "-9");
}

std::string check(std::string_view type, const std::string& bytes) {
  std::string report;
  appendCheckReport(report, *findLayout(type), bytes);
  return report;
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
  };
  for (const Case& c : cases) EXPECT_EQ(check("FCD", c.bytes), c.report) << c.name;
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

TEST(InterfaceReaderTest, ShowGivesEachMatchingLineAsNamedFieldsWithTheirColumns) {
  const std::string bytes = fcdLine("1", "Krank") + fcdLine("2", "K\xFC\x1B[2J\x9D\x7Fr\\") + fcdLine("12", "Urlaub");
  const FileLayout& fcd = *findLayout("FCD");
  FieldMatch match;
  ASSERT_TRUE(parseFieldMatch(fcd, "fcdnum=2", match));
  std::string out;
  EXPECT_EQ(appendShowBlocks(out, fcd, bytes, {match}, Encoding::kUtf8), 1u);
  EXPECT_EQ(out,
            "line 2\n"
            "  1-5      licence number: L1\n"
            "  6-10     tenant number: M1\n"
            "  11-13    FcdNum: 2\n"
            "  14-15    FcdKrt: K\n"
            "  16-65    FcdTxt: K\xC3\xBC\\x1B[2J\\x9D\\x7Fr\\\\\n"
            "  66-70    FcdTyp: A\n"
            "  71-75    FcdFcd: -9\n");
  out.clear();
  EXPECT_EQ(appendShowBlocks(out, fcd, bytes, {}, Encoding::kAsStored), 3u);
  EXPECT_NE(out.find("\n\nline 3\n"), std::string::npos);
  // Padding does not count; a value is matched whole.
  for (const char* where : {"FcdNum=1 ", "FcdNum=", "FcdTxt=Kra"}) {
    ASSERT_TRUE(parseFieldMatch(fcd, where, match));
    EXPECT_EQ(appendShowBlocks(out, fcd, bytes, {match}, Encoding::kAsStored), 0u) << where;
  }
  for (const char* wrong : {"FcdNum", "nofield=1", "=1"}) EXPECT_FALSE(parseFieldMatch(fcd, wrong, match)) << wrong;
}

TEST(InterfaceReaderTest, CsvHasTheFieldNamesAndQuotesWhatWouldSplitACell) {
  const FileLayout& fcd = *findLayout("FCD");
  const std::string bytes = fcdLine("1", "a,b \"c\"") + fcdLine("2", "\x80\xE4\x81");
  std::string out;
  EXPECT_EQ(appendCsvRows(out, fcd, bytes, {}, Encoding::kAsStored), 2u);
  EXPECT_EQ(out,
            "licence number,tenant number,FcdNum,FcdKrt,FcdTxt,FcdTyp,FcdFcd\r\n"
            "L1,M1,1,K,\"a,b \"\"c\"\"\",A,-9\r\n"
            "L1,M1,2,K,\x80\xE4\x81,A,-9\r\n");
  for (const auto& [value, cell] : std::vector<std::pair<std::string, std::string>>{
           {"plain", "plain"}, {"x\"y", "\"x\"\"y\""}, {"a\rb", "\"a\rb\""}, {"a\nb", "\"a\nb\""}}) {
    std::string written;
    appendCsvCell(written, value, Encoding::kAsStored);
    EXPECT_EQ(written, cell);
  }
  std::string utf8;
  appendCsvCell(utf8, "\x80\xE4\x81\x9F\xFF", Encoding::kUtf8);
  EXPECT_EQ(utf8, "\xE2\x82\xAC\xC3\xA4\xC2\x81\xC5\xB8\xC3\xBF");
}

}  // namespace
}  // namespace sstrxv
