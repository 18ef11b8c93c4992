// The interface-file reader of sstrxv-imp: the first byte picks the file
// type, the rest is the file. Every line is split into fields that give
// the line back, check reports exactly the lines that are not sound, and
// show and csv never write a control byte of a value as it is.
#include <string>

#include "export/file_types.h"
#include "fuzz_check.h"
#include "tools/interface_reader.h"

using namespace sstrxv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto layouts = fileLayouts();
  const FileLayout& layout = *layouts[data[0] % layouts.size()];
  const std::string_view bytes = fuzzBytes(data + 1, size - 1);

  std::size_t faulty = 0;
  std::size_t total = 0;
  for (const FileLine& line : splitLines(bytes)) {
    total += line.text.size() + (line.carriageReturn ? 1 : 0) + (line.lineFeed ? 1 : 0);
    std::string joined;
    for (const FieldValue& field : splitFields(layout, line.text)) {
      FUZZ_CHECK(field.value.size() <= field.width);
      joined += field.value;
    }
    FUZZ_CHECK(line.text.starts_with(joined));
    if (!lineFaults(layout, line).empty()) ++faulty;
  }
  FUZZ_CHECK(total == bytes.size());

  std::string report;
  const CheckCounts counts = appendCheckReport(report, layout, bytes);
  FUZZ_CHECK(counts.faulty == faulty && counts.lines == splitLines(bytes).size());

  FieldMatch match;
  const std::string where = std::string(layout.fields[0].name) + "=" + std::string(bytes.substr(0, 8));
  FUZZ_CHECK(parseFieldMatch(layout, where, match));
  for (const Encoding encoding : {Encoding::kAsStored, Encoding::kUtf8}) {
    std::string shown;
    const std::size_t blocks = appendShowBlocks(shown, layout, bytes, {match}, encoding);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const auto c = static_cast<unsigned char>(shown[i]);
      FUZZ_CHECK(c == '\n' || (c >= 0x20 && c != 0x7F));
      // no C1 control code as UTF-8
      FUZZ_CHECK(encoding == Encoding::kAsStored || c != 0xC2 || i + 1 == shown.size() ||
                 static_cast<unsigned char>(shown[i + 1]) >= 0xA0);
      if (c == '\n') ++lines;
    }
    FUZZ_CHECK(blocks == 0 || lines >= blocks * (layout.fields.size() + 1));
    std::string csv;
    FUZZ_CHECK(appendCsvRows(csv, layout, bytes, {}, encoding) == splitLines(bytes).size());
  }
  return 0;
}
