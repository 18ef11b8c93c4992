// The SaldoRXV.ini parser, and the rendering of whatever slots it finds.
#include "export/balance/saldo_settings.h"
#include "fuzz_check.h"

using namespace sstrxv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const SaldoSettings settings = parseSaldoSettings(fuzzBytes(data, size));
  FUZZ_CHECK(settings.slots.size() <= kMaxSaldoSlots);
  for (const SaldoSlot& slot : settings.slots) {
    FUZZ_CHECK(slot.name.size() == 3 && slot.name[0] == 'F');
    FUZZ_CHECK(slot.label.size() <= kSlotLabelSize);
    FUZZ_CHECK(!slot.keys.empty() && slot.keys.size() <= kMaxSlotKeys);
    for (const auto& key : slot.keys) FUZZ_CHECK(key.size() == 3);
  }

  SaldoValues values;
  values.timeBalance = {755, -30, 0, 2147483647, -2147483647, 60, 1};
  values.uvj = 12345.5;
  values.ulj = -2.5;
  values.san = 1e300;
  SaldoRecord record;
  initSaldoRecord(record);
  fillFlexFields(settings, values, record);
  for (int n = 1; n <= 10; ++n) {
    const auto text = record[saldo_field::flexible(n)].view();
    FUZZ_CHECK(text.empty() || text.size() == 20);
  }
  return 0;
}
