// The premium data file: its pieces, their texts and the lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "export/balance/premium.h"
#include "support/text.h"

using namespace sstrxv;
namespace fs = std::filesystem;

namespace {

std::string corpusFile(const std::string& name) {
  std::ifstream file(std::string(SSTRXV_FUZZ_CORPUS_DIR) + "/premium/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace

TEST(PremiumFile, PiecesAndTexts) {
  using namespace std::string_literals;
  const std::string none = "none";
  const struct {
    std::string file;
    std::size_t entries;
    std::vector<std::pair<std::string, std::string>> lookups;  // personnel number, F10 text
  } cases[] = {
      {"", 0, {{"", none}}},
      {corpusFile("basic.txt"),
       7,
       {{"00001234", "ZG  12,5%  ZK     7%"},  // the first of two equal keys
        {"00005678", "ZG 34,56%  ZK   0,5%"},
        {"00009999", "ZG      %  ZK      %"},
        {"00004711", "ZG  7,50%  ZK   0,5%"},  // a single leading blank is skipped
        {"00000815", "ZG      %  ZK     0%"},  // a lone 0 stays only at the very end
        {"Pnr", "ZG    ZG%  ZK    ZK%"},
        {"1234", none}}},
      {corpusFile("odd_lines.txt"),
       5,
       {{"", "ZG  1234%  ZK     1%"},  // two leading blanks: the first word is ZG
        {"1234567890123456789012345678901234567890123456789", "ZG      %  ZK      %"},
        {"0", "ZG     3%  ZK     4%"},  // the rest of a long line is a piece of its own
        {"00000042\t5", "ZG     6%  ZK      %"},
        {"12345678", none}}},
      {"123456789 1 2\r\n12\0 4 5\n"s, 2, {{"12345678", none}, {"12\0"s, "ZG     4%  ZK     5%"}}},
      {std::string(48, '7') + "\r\n8 1 1\n", 2, {{"8", "ZG     1%  ZK     1%"}}},  // CR LF: one character
  };
  for (const auto& c : cases) {
    const PremiumResult result = parsePraemien(c.file);
    EXPECT_EQ(result.status, PremiumStatus::kRead);
    EXPECT_EQ(result.table.entryCount(), c.entries) << c.file;
    for (const auto& [number, text] : c.lookups) {
      SaldoRecord record;
      record[saldo_field::kF10].assign("slot");
      const bool found = findPraemie(result.table, number, record);
      EXPECT_EQ(found ? std::string(record[saldo_field::kF10].view()) : none, text) << number;
      if (!found) {
        EXPECT_EQ(record[saldo_field::kF10].view(), "slot");
      }
    }
  }
}

TEST(PremiumFile, LargeFilesAndTheirIndex) {
  std::string lines;
  for (int i = 0; i < 100000; ++i) lines += formatText("%08d %d.5 %d\r\n", i, i % 100 + 1, i % 7 + 1);
  const PremiumResult read = parsePraemien(lines);
  ASSERT_EQ(read.table.entryCount(), 100000u);
  for (int i = 0; i < 100000; ++i) {
    const std::string zg = formatText("%d,5", i % 100 + 1);
    const std::string zk = std::to_string(i % 7 + 1);
    ASSERT_EQ(read.table.find(formatText("%08d", i)), formatText("ZG %5s%%  ZK %5s%%", zg.c_str(), zk.c_str()));
  }

  // 10 MB of random bytes; a megabyte of line ends only and of NUL bytes only
  std::mt19937_64 random(49);
  std::string binary(10 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < binary.size(); i += 8) {
    const std::uint64_t word = random();
    std::memcpy(&binary[i], &word, 8);
  }
  for (const std::string& bytes : {binary, std::string(1024 * 1024, '\n'), std::string(1024 * 1024, '\0')}) {
    const PremiumResult result = parsePraemien(bytes);
    EXPECT_EQ(result.status, PremiumStatus::kRead);
    EXPECT_GE(result.table.entryCount(), bytes.size() / kPremiumPieceSize);
  }
}

TEST(PremiumFile, ReadFromTheTransferDirectory) {
  const fs::path dir = fs::temp_directory_path() / ("sstrxv-premium-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "PraemienQORV.txt", std::ios::binary) << "4711 1.5 2\n";
  const PremiumResult read = readPraemien(dir.string() + "\\PraemienQORV.txt");
  EXPECT_EQ(read.status, PremiumStatus::kRead);
  EXPECT_EQ(read.table.find("4711"), "ZG   1,5%  ZK     2%");

  const PremiumResult missing = readPraemien(dir.string() + "\\missing.txt");
  EXPECT_EQ(missing.status, PremiumStatus::kOpenFailed);
  EXPECT_TRUE(missing.table.empty());
  EXPECT_EQ(premiumStatusMessage(missing.status), "Oeffnen der Praemiensystemdatei ist fehlgeschlagen");
  fs::remove_all(dir);
}
