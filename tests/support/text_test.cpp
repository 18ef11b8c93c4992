#include <gtest/gtest.h>

#include <cstdio>

#include "export/record.h"
#include "support/text.h"

using namespace sstrxv;

TEST(Text, TrimRightRemovesTrailingBlanksAndTabsOnly) {
  std::string a = "AB \t ";
  EXPECT_EQ(trimRight(a), "AB");
  std::string b = "   ";
  EXPECT_EQ(trimRight(b), "   ");  // only blanks: unchanged
  std::string c = " A\tB";
  EXPECT_EQ(trimRight(c), " A\tB");
  std::string d;
  EXPECT_EQ(trimRight(d), "");
}

TEST(Text, UpperCaseTouchesOnlyAtoZ) {
  std::string text = "mnd20p\xE4\xFCz";
  EXPECT_EQ(upperCase(text), "MND20P\xE4\xFCZ");
}

TEST(Text, BoundedTextCutsToItsCapacity) {
  BoundedText field(5);
  field.assign("123456789");
  EXPECT_EQ(field.view(), "12345");
  field.assign(static_cast<const char*>(nullptr));
  EXPECT_TRUE(field.empty());
}

TEST(Text, FormatTextHasNoLengthLimit) {
  const std::string path(5000, 'p');
  const std::string message = formatText("Import %s fertig.", path.c_str());
  EXPECT_EQ(message.size(), 5000u + 15u);
  EXPECT_EQ(formatText("%5ld|%10.2f|%02.0f", 42L, 3.14159, 7.0), "   42|      3.14|07");
}

TEST(Text, NumbersAreReadLikeTheCLibrary) {
  EXPECT_EQ(leadingInteger("  -12abc"), -12);
  EXPECT_EQ(leadingInteger("x1"), 0);
  EXPECT_DOUBLE_EQ(leadingNumber("05.40"), 5.4);
  EXPECT_DOUBLE_EQ(leadingNumber("05.90 "), 5.9);
  EXPECT_DOUBLE_EQ(leadingNumber(""), 0.0);
}

TEST(LineFormat, FieldsArePaddedExactlyAsPrintfWould) {
  constexpr LineFormat<4> format = {field(5, "a", "A"), field(3, "b", "B"), field(1, 6, "c", "C"), field(4, "d", "D")};
  std::array<BoundedText, 4> values{BoundedText(5), BoundedText(3), BoundedText(6), BoundedText(4)};
  values[0].assign("ab");
  values[1].assign("xyzzy");  // cut to 3
  values[2].assign("LONG");   // holds more than it is wide: moves the line
  std::string line;
  appendLine(line, format, values);

  char expected[64];
  std::snprintf(expected, sizeof expected, "%-5s%-3s%-1s%-4sx\r\n", "ab", "xyz", "LONG", "");
  EXPECT_EQ(line, expected);
}
