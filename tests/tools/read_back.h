// Reading a file a writer produced back by its layout: every line passes
// the check, and the lines are found again by a field's value.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tools/interface_reader.h"

namespace sstrxv::test {

// The file of type `type` is sound, splits into its fields without a byte
// lost, and `where` ("field=value") finds exactly `matching` lines in show
// and in csv.
inline void expectReadsBack(std::string_view type, const std::string& content, std::string_view where,
                            std::size_t matching) {
  const FileLayout* layout = findLayout(type);
  ASSERT_NE(layout, nullptr) << type;
  const InputFile file(content);
  Output report;
  LineReader checked(file);
  EXPECT_EQ(writeCheckReport(report, *layout, checked).faulty, 0u) << report.text();
  LineReader lines(file);
  FileLine line;
  while (lines.next(line)) {
    std::string joined;
    for (const FieldValue& field : splitFields(*layout, line.text)) joined += field.value;
    EXPECT_EQ(joined + "x", line.text) << type << " line " << line.number;
  }
  SelectOptions options;
  options.matches.emplace_back();
  ASSERT_EQ(parseFieldMatch(*layout, where, Encoding::kAsStored, options.matches[0]), MatchParse::kOk) << where;
  Output shown, csv;
  LineReader showLines(file), csvLines(file);
  EXPECT_EQ(writeShowBlocks(shown, *layout, showLines, options).written, matching) << shown.text();
  EXPECT_EQ(writeCsvRows(csv, *layout, csvLines, options).written, matching) << csv.text();
}

}  // namespace sstrxv::test
