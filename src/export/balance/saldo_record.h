// The balance line of one badge as text fields, and the badge's balances as
// numbers.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "export/record.h"
#include "support/text.h"

namespace sstrxv {

// The fields of the balance line, numbered from 0 in line order.
namespace saldo_field {
inline constexpr std::size_t kIdn = 0;   // badge number
inline constexpr std::size_t kSto = 1;   // location code of the badge
inline constexpr std::size_t kLiz = 2;   // licence number
inline constexpr std::size_t kMnd = 3;   // tenant number
inline constexpr std::size_t kW01 = 4;   // date of the day balances, YYYYMMDD
inline constexpr std::size_t kW02 = 5;   // time balance SA1
inline constexpr std::size_t kW03 = 6;   // vacation figures UVJ,
inline constexpr std::size_t kW04 = 7;   // ULJ,
inline constexpr std::size_t kW05 = 8;   // UGE,
inline constexpr std::size_t kW06 = 9;   // UVP,
inline constexpr std::size_t kW07 = 10;  // URS,
inline constexpr std::size_t kW08 = 11;  // UAN
inline constexpr std::size_t kW09 = 12;  // time balances SA2,
inline constexpr std::size_t kW10 = 13;  // SA3,
inline constexpr std::size_t kW11 = 14;  // SA4,
inline constexpr std::size_t kW12 = 15;  // SA5,
inline constexpr std::size_t kW13 = 16;  // SA6,
inline constexpr std::size_t kW14 = 17;  // SA7
inline constexpr std::size_t kW15 = 18;  // SA1 + SA2
inline constexpr std::size_t kW16 = 19;  // SA2 + SA3
inline constexpr std::size_t kF01 = 20;  // flexible fields
inline constexpr std::size_t kF02 = 21;
inline constexpr std::size_t kF03 = 22;
inline constexpr std::size_t kF04 = 23;
inline constexpr std::size_t kF05 = 24;
inline constexpr std::size_t kF06 = 25;
inline constexpr std::size_t kF07 = 26;
inline constexpr std::size_t kF08 = 27;
inline constexpr std::size_t kF09 = 28;
inline constexpr std::size_t kF10 = 29;  // also the premium text
inline constexpr std::size_t kAmp = 30;  // traffic-light account value
inline constexpr std::size_t kCount = 31;

// The field of time balance SA<n>, n from 1 to 7.
constexpr std::size_t timeBalance(int n) { return n == 1 ? kW02 : kW09 + static_cast<std::size_t>(n - 2); }
// The flexible field F<n>, n from 1 to 10.
constexpr std::size_t flexible(int n) { return kF01 + static_cast<std::size_t>(n - 1); }
}  // namespace saldo_field

// 431 characters of fields, then "x": the badge fields, W01, fifteen
// 10-character balances, ten 20-character flexible fields and Amp.
inline constexpr LineFormat<saldo_field::kCount> kSaldoLineFormat = {
    field(50, "badge number", "ASWNUM, the badge number"),
    field(8, "location of the badge", "AWVSTO, the badge's location code"),
    field(5, "licence number", "ASWLIZ, the licence number"),
    field(5, "tenant number", "ASWMND, the tenant number"),
    field(8, "balance date", "tgbdtm of the latest day balance before today as YYYYMMDD; blank when none"),
    field(10, "time balance SA1",
          "SA1: tgbsa1 + tgbvt1 of the latest day balance, minutes as sign and hours,minutes; "
          "0,00 right-aligned without sign when none"),
    field(10, "vacation carried over UVJ",
          "UVJ: urvvjr of the current year's vacation carry-over, as sign and number with decimal comma; "
          "0,00 right-aligned without sign when none"),
    field(10, "vacation this year ULJ",
          "ULJ: urvgur - urvvjr + urvvtg of the current year's vacation carry-over; as UVJ"),
    field(10, "vacation taken UGE", "UGE: utggut of the latest vacation-days row; as UVJ"),
    field(10, "vacation planned UVP", "UVP: utgvtg of the latest vacation-days row; as UVJ"),
    field(10, "vacation left URS", "URS: utgrtg of the latest vacation-days row; as UVJ"),
    field(10, "vacation entitlement UAN", "UAN: urvgur of the current year's vacation carry-over; as UVJ"),
    field(10, "time balance SA2", "SA2: tgbsa2 + tgbvt2 of the latest day balance; as SA1"),
    field(10, "time balance SA3", "SA3: tgbsa3 + tgbvt3; as SA1"),
    field(10, "time balance SA4", "SA4: tgbsa4 + tgbvt4; as SA1"),
    field(10, "time balance SA5", "SA5: tgbsa5 + tgbvt5; as SA1"),
    field(10, "time balance SA6", "SA6: tgbsa6 + tgbvt6; as SA1"),
    field(10, "time balance SA7", "SA7: tgbsa7 + tgbvt7; as SA1"),
    field(10, "time balance SA1+SA2", "SA1 + SA2; as SA1"),
    field(10, "time balance SA2+SA3", "SA2 + SA3; as SA1"),
    field(20, "display slot 1", "slot F01 of SaldoRXV.ini: label (12 columns) and value (8); blank without the slot"),
    field(20, "display slot 2", "slot F02; as display slot 1"),
    field(20, "display slot 3", "slot F03; as display slot 1"),
    field(20, "display slot 4", "slot F04; as display slot 1"),
    field(20, "display slot 5", "slot F05; as display slot 1"),
    field(20, "display slot 6", "slot F06; as display slot 1"),
    field(20, "display slot 7", "slot F07; as display slot 1"),
    field(20, "display slot 8", "slot F08; as display slot 1"),
    field(20, "display slot 9", "slot F09; as display slot 1"),
    field(20, "display slot 10",
          "the holder's premium text (tenants at location 42381), else slot F10; as display slot 1"),
    field(5, "traffic-light value", "TagAkp of the latest day before today, right-aligned; -1 right-aligned when none"),
};

inline constexpr FileLayout kSaldoLayout = {
    .code = "SLD",
    .fileName = "SALDO",
    .description = "The balances of every badge valid now, tenant by tenant.",
    .fields = kSaldoLineFormat,
};

class SaldoRecord : public Record<saldo_field::kCount> {
 public:
  SaldoRecord() : Record(kSaldoLineFormat) {}
};

// The text a balance field shows when no value was read for it.
inline constexpr std::string_view kNoBalanceText = "      0,00";
// The traffic-light field without a value.
inline constexpr std::string_view kNoTrafficLightText = "   -1";

// Empties every field, then puts the no-value texts into W02 to W16 and Amp.
void initSaldoRecord(SaldoRecord& record) noexcept;

// The balances of one badge. A default-constructed value is the state
// before the badge's reads: everything zero, no traffic-light value.
struct SaldoValues {
  BoundedText balanceDate{11};                                  // YYYYMMDD of the day balances
  std::array<long, 7> timeBalance{};                            // SA1 to SA7, minutes
  double uvj = 0, ulj = 0, uge = 0, uvp = 0, urs = 0, uan = 0;  // vacation figures
  double svj = 0, sge = 0, svp = 0, srs = 0, san = 0, sat = 0;  // shift-leave figures
  std::array<double, 10> slotSum{};                             // of flexible fields 1 to 10
  long trafficLight = -1;
};

// "SA1" to "SA7", the keys of the time balances.
[[nodiscard]] bool isTimeBalanceKey(std::string_view key) noexcept;

// The value of a balance key ("SA1" to "SA7", "UVJ", ..., "SAT"), compared
// exactly; any other key, the empty one included, gives 0.
[[nodiscard]] double saldoKeyValue(std::string_view key, const SaldoValues& values) noexcept;

// The "%5ld" text of the traffic-light value.
[[nodiscard]] std::string trafficLightText(long value);

}  // namespace sstrxv
