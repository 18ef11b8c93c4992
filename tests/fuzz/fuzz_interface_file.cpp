// The interface-file reader of sstrxv-imp: the first byte picks the file
// type, the second how many bytes of a line are kept, the rest is the file.
// Every line is split into fields that give the line back, the lines add up
// to the file, check reports exactly the lines that are not sound, show and
// csv to a terminal never write a control byte of a value as it is, and a
// file compared with itself has no difference.
#include <string>

#include "export/file_types.h"
#include "fuzz_check.h"
#include "tools/interface_reader.h"

using namespace sstrxv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto layouts = fileLayouts();
  const FileLayout& layout = *layouts[data[0] % layouts.size()];
  const std::size_t kept = 1 + data[1] * 4u;
  const std::string_view bytes = fuzzBytes(data + 2, size - 2);
  const InputFile file(bytes);

  std::size_t faulty = 0;
  std::size_t lines = 0;
  std::uint64_t total = 0;
  LineReader reader(file, kept);
  FileLine line;
  while (reader.next(line)) {
    ++lines;
    FUZZ_CHECK(line.offset == total && line.text.size() <= kept && line.text.size() <= line.length);
    FUZZ_CHECK(bytes.substr(line.offset).starts_with(line.text));
    total += line.length + (line.carriageReturn ? 1 : 0) + (line.lineFeed ? 1 : 0);
    std::string joined;
    for (const FieldValue& field : splitFields(layout, line.text)) {
      FUZZ_CHECK(field.value.size() <= field.width);
      joined += field.value;
    }
    FUZZ_CHECK(line.text.starts_with(joined));
    if (!lineFaults(layout, line).empty()) ++faulty;
  }
  FUZZ_CHECK(total == bytes.size() && reader.error() == 0);

  Output report;
  LineReader again(file);
  const CheckCounts counts = writeCheckReport(report, layout, again);
  FUZZ_CHECK(counts.lines == lines && counts.faulty == faulty);

  SelectOptions options;
  FieldMatch match;
  const std::string where = std::string(layout.fields[0].name) + "=" + std::string(bytes.substr(0, 8));
  FUZZ_CHECK(parseFieldMatch(layout, where, Encoding::kAsStored, match) == MatchParse::kOk);
  options.matches = {match};
  options.display.terminal = true;
  for (const Encoding encoding : {Encoding::kAsStored, Encoding::kUtf8}) {
    options.display.encoding = encoding;
    Output shown;
    LineReader showLines(file);
    const std::size_t blocks = writeShowBlocks(shown, layout, showLines, options).written;
    std::size_t newlines = 0;
    const std::string& text = shown.text();
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      FUZZ_CHECK(c == '\n' || (c >= 0x20 && c != 0x7F));
      FUZZ_CHECK(encoding == Encoding::kUtf8 || c < 0x80 || c >= 0xA0);
      // no C1 control code as UTF-8
      FUZZ_CHECK(encoding == Encoding::kAsStored || c != 0xC2 || i + 1 == text.size() ||
                 static_cast<unsigned char>(text[i + 1]) >= 0xA0);
      if (c == '\n') ++newlines;
    }
    FUZZ_CHECK(blocks == 0 || newlines >= blocks * (layout.fields.size() + 1));
    Output csv;
    LineReader csvLines(file);
    FUZZ_CHECK(writeCsvRows(csv, layout, csvLines, {{}, options.display, {}}).written == lines);
  }
  Output diff;
  const DiffCounts same = writeDiff(diff, layout, file, file, options.display);
  FUZZ_CHECK(same.same == lines && same.added + same.removed + same.changed == 0 && diff.text().empty());
  return 0;
}
