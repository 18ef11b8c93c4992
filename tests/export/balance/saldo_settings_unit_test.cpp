// The SaldoRXV.ini parser and the rendering of its slots.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "export/balance/saldo_settings.h"

using namespace sstrxv;
namespace fs = std::filesystem;

namespace {

// The slots as "name:label:key,key|...".
std::string describe(const SaldoSettings& settings) {
  std::string text;
  for (const SaldoSlot& slot : settings.slots) {
    if (!text.empty()) text += '|';
    text += slot.name + ":" + slot.label + ":";
    for (std::size_t i = 0; i < slot.keys.size(); ++i) text += (i ? "," : "") + slot.keys[i];
  }
  return text;
}

std::string corpusFile(const std::string& name) {
  std::ifstream file(std::string(SSTRXV_FUZZ_CORPUS_DIR) + "/saldo_settings/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace

TEST(SaldoSettings, SlotAndLabelLines) {
  using namespace std::string_literals;
  const struct {
    std::string file;
    std::string slots;
  } cases[] = {
      {"T01=Only a label\nF01=UV,U\nF02=\n", ""},
      {"F02=UVJ,ULJ\r\nT02=Resturlaub gesamt\r\n", "F02:Resturlaub g:UVJ,ULJ"},
      {"F01=SA12, UVJ ULJ,,URS", "F01::SA1,UVJ,URS"},        // blanks run keys together; no line end
      {"F01 = UVJ\t, ULJ\nT01:x\nT01=\n", "F01:x:UVJ,ULJ"},  // any separator; no label text: ignored
      {"f01=UVJ\nt01=low\nX\n\n", ""},
      {"F01=UVJ,ULJ,UGE,UVP,URS,UAN,SVJ,SAN,SGE\n", "F01::UVJ,ULJ,UGE,UVP,URS,UAN,SVJ,SAN"},
      {"F01=U\0J\xFF\n"s, "F01::U\0J"s},  // bytes as they are
      {corpusFile("basic.ini"), "F01:Gleitzeit:SA1|F02:Resturlaub g:UVJ,ULJ|F03:Schichtfrei:SVJ,SAN"},
      {corpusFile("odd_lines.ini"),
       "F01::SA1|F03::SA1,UVP,URS,UGE,UAN,ULJ,SA2,SA3|F00::UVJ|F11::UVJ|F04:Second:UVJ|F04::ULJ"},
      // nine slots end the reading: the ninth keeps no label, the tenth is not read
      {corpusFile("ten_slots.ini"),
       "F01:Slot 01:SA1|F02:Slot 02:SA1|F03:Slot 03:SA1|F04:Slot 04:SA1|F05:Slot 05:SA1|"
       "F06:Slot 06:SA1|F07:Slot 07:SA1|F08:Slot 08:SA1|F09::SA1"},
      // 99 characters make a line; the rest of a longer line is a line of its own
      {corpusFile("long_lines.ini"), "F01::SA1|F05:LLLLLLLLLLLL:UVJ"},
      {std::string(98, 'x') + "\r\nF01=UVJ\n", "F01::UVJ"},  // CR LF counts as one character
  };
  for (const auto& c : cases) {
    const SaldoSettings settings = parseSaldoSettings(c.file);
    EXPECT_EQ(describe(settings), c.slots) << c.file;
    EXPECT_EQ(settings.configured(), !c.slots.empty()) << c.file;
  }
}

TEST(SaldoSettings, RenderingOfTheSlots) {
  SaldoValues values;
  values.timeBalance = {755, 0, 0, 0, 0, 0, 0};
  values.uvj = 2.5;
  values.ulj = 10;
  SaldoRecord record;
  initSaldoRecord(record);
  fillFlexFields(parseSaldoSettings(corpusFile("odd_lines.ini")), values, record);

  EXPECT_EQ(record[saldo_field::kF01].view(), "              12,35 ");
  // time slot: the vacation figure ULJ (10) is added to the 755 minutes
  EXPECT_EQ(record[saldo_field::kF03].view(), "              12,45 ");
  // two F04 slots add into one sum; the later, unlabelled one shows it
  EXPECT_EQ(record[saldo_field::kF04].view(), "              12,50 ");
  EXPECT_EQ(values.slotSum[3], 12.5);
  for (const std::size_t empty : {saldo_field::kF02, saldo_field::kF05, saldo_field::kF10}) {
    EXPECT_TRUE(record[empty].empty());
  }
  std::string line;
  record.appendLineTo(line);
  EXPECT_EQ(line.size(), 432u + 2u);
  EXPECT_EQ(line.substr(76, 10), "      0,00");
  EXPECT_EQ(line.substr(426, 8), "   -1x\r\n");
  EXPECT_EQ(flexibleValuesMessage(true), "Flexible Saldenwerte: YES");
}

TEST(SaldoSettings, AnyInputIsReadWithoutHarm) {
  std::mt19937 random(8);
  std::string binary(1024 * 1024, '\0');
  for (char& c : binary) c = static_cast<char>(random() % 256);
  for (const std::string& bytes : {std::string(), binary, std::string(1024 * 1024, '\0')}) {
    EXPECT_LE(parseSaldoSettings(bytes).slots.size(), kMaxSaldoSlots);
  }
  // 10 MB of long label lines are read through to the slot at the end
  std::string labels;
  while (labels.size() < 10 * 1024 * 1024) labels += "T01=" + std::string(200, 'L') + "\n";
  EXPECT_EQ(describe(parseSaldoSettings(labels + "F01=UVJ")), "F01::UVJ");
}

TEST(SaldoSettings, FileInTheWorkingDirectory) {
  const fs::path dir = fs::temp_directory_path() / ("sstrxv-saldo-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "SaldoRXV.ini", std::ios::binary) << "F02=UVJ\nT02=Urlaub\n";
  const SaldoSettingsResult read = readSaldoSettings(dir.string() + "\\SaldoRXV.ini");
  EXPECT_EQ(read.status, SaldoSettingsStatus::kRead);
  EXPECT_EQ(describe(read.settings), "F02:Urlaub:UVJ");

  const SaldoSettingsResult missing = readSaldoSettings(dir.string() + "\\missing.ini");
  EXPECT_EQ(missing.status, SaldoSettingsStatus::kMissing);
  EXPECT_FALSE(missing.settings.configured());
  EXPECT_EQ(readSaldoSettings(dir.string()).status, SaldoSettingsStatus::kMissing);  // a directory
  fs::remove_all(dir);
}
