#include "export/balance/saldo_record.h"

namespace sstrxv {

void initSaldoRecord(SaldoRecord& record) noexcept {
  record.clear();
  for (std::size_t field = saldo_field::kW02; field <= saldo_field::kW16; ++field) {
    record[field].assign(kNoBalanceText);
  }
  record[saldo_field::kAmp].assign(kNoTrafficLightText);
}

bool isTimeBalanceKey(std::string_view key) noexcept {
  return key.size() == 3 && key[0] == 'S' && key[1] == 'A' && key[2] >= '1' && key[2] <= '7';
}

double saldoKeyValue(std::string_view key, const SaldoValues& values) noexcept {
  if (isTimeBalanceKey(key)) {
    return static_cast<double>(values.timeBalance[static_cast<std::size_t>(key[2] - '1')]);
  }
  struct Named {
    std::string_view key;
    double SaldoValues::*value;
  };
  static constexpr Named kFigures[] = {
      {"UVJ", &SaldoValues::uvj}, {"ULJ", &SaldoValues::ulj}, {"UAN", &SaldoValues::uan}, {"UGE", &SaldoValues::uge},
      {"UVP", &SaldoValues::uvp}, {"URS", &SaldoValues::urs}, {"SVJ", &SaldoValues::svj}, {"SAN", &SaldoValues::san},
      {"SGE", &SaldoValues::sge}, {"SVP", &SaldoValues::svp}, {"SRS", &SaldoValues::srs}, {"SAT", &SaldoValues::sat}};
  for (const Named& figure : kFigures) {
    if (figure.key == key) return values.*figure.value;
  }
  return 0;
}

std::string trafficLightText(long value) { return formatText("%5ld", value); }

}  // namespace sstrxv
