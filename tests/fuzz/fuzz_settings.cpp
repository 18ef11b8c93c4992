// The product settings-file reader: the lookups the connection makes and
// those by section and number.
#include "fuzz_check.h"
#include "support/settings.h"

using namespace sstrxv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzzBytes(data, size);
  struct Lookup {
    std::string_view section;
    std::string_view key;
    long number;
  };
  for (const Lookup& lookup : {Lookup{"", "NET8", 0}, Lookup{"", "LOGIN", 0}, Lookup{"", "PASS", 0},
                               Lookup{"Datenbank", "", 0}, Lookup{"", "", 3}, Lookup{"", "", 0}}) {
    const SettingResult result = readSettingFromText(lookup.section, lookup.key, lookup.number, text);
    FUZZ_CHECK(result.settingValue.size() <= result.settingValue.capacity());
    FUZZ_CHECK(result.settingValue.view().find('\0') == std::string_view::npos);
    if (lookup.section.empty() && lookup.key.empty() && lookup.number == 0) {
      FUZZ_CHECK(result.settingKey.empty() && result.settingNumber == 0);
    }
  }
  return 0;
}
