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
  std::string report;
  EXPECT_EQ(appendCheckReport(report, *layout, content).faulty, 0u) << report;
  for (const FileLine& line : splitLines(content)) {
    std::string joined;
    for (const FieldValue& field : splitFields(*layout, line.text)) joined += field.value;
    EXPECT_EQ(joined + "x", line.text) << type << " line " << line.number;
  }
  FieldMatch match;
  ASSERT_TRUE(parseFieldMatch(*layout, where, match)) << where;
  std::string shown, csv;
  EXPECT_EQ(appendShowBlocks(shown, *layout, content, {match}, Encoding::kAsStored), matching) << shown;
  EXPECT_EQ(appendCsvRows(csv, *layout, content, {match}, Encoding::kAsStored), matching) << csv;
}

}  // namespace sstrxv::test
