// The premium data file parser and the lookup of every key it found.
#include <algorithm>

#include "export/balance/premium.h"
#include "fuzz_check.h"

using namespace sstrxv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzzBytes(data, size);
  const PremiumResult result = parsePraemien(bytes);
  FUZZ_CHECK(result.status == PremiumStatus::kRead);
  const PremiumTable& table = result.table;
  FUZZ_CHECK(table.empty() == bytes.empty());
  FUZZ_CHECK(table.keyCount() <= table.entryCount());

  SaldoRecord record;
  for (std::size_t i = 0; i < table.keyCount(); ++i) {
    const std::string_view key = table.keyAt(i);
    FUZZ_CHECK(key.size() <= kPremiumPieceSize);
    record[saldo_field::kF10].clear();
    FUZZ_CHECK(findPraemie(table, key, record));
    const auto text = record[saldo_field::kF10].view();
    FUZZ_CHECK(text.size() == 20 && text.substr(0, 3) == "ZG " && text.back() == '%');
  }
  // Keys that may or may not be there: the first bytes of the input.
  for (std::size_t length = 0; length <= std::min<std::size_t>(bytes.size(), 9); ++length) {
    (void)table.find(bytes.substr(0, length));
  }
  return 0;
}
