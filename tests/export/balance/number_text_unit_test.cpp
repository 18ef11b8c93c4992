// The texts of the balance line for given numbers, under the "C" locale and
// again under a locale that writes a decimal comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "export/balance/number_text.h"
#include "export/balance/premium.h"
#include "export/balance/saldo_settings.h"
#include "support/text.h"

using namespace sstrxv;

namespace {

enum class Rule {
  kSigned10,
  kComma,
  kHoursMinutes,
  kSlotValue,
  kVacation,
  kTimeBalance,
  kAmp,
  kTimeSlot,
  kVacationSlot,
  kPremium
};

struct Case {
  Rule rule;
  std::string input;
  std::string expected;
};

// The 8 value characters of F01 for a one-slot setting over the given key.
std::string slotValue(std::string_view key, double value) {
  SaldoValues values;
  values.timeBalance[0] = static_cast<long>(value);
  values.uvj = value;
  SaldoSettings settings;
  settings.slots.push_back({"F01", "", {std::string(key)}});
  SaldoRecord record;
  fillFlexFields(settings, values, record);
  return std::string(record[saldo_field::kF01].view().substr(12));
}

std::string apply(const Case& c) {
  switch (c.rule) {
    case Rule::kSigned10:
      return formatSigned10(c.input);
    case Rule::kComma:
      return decimalComma(c.input);
    case Rule::kHoursMinutes:
      return hoursToMinutes(c.input);
    case Rule::kSlotValue:
      return formatSlotValue(c.input);
    case Rule::kVacation:
      return vacationFigureText(c.input);
    case Rule::kTimeBalance:
      return timeBalanceText(std::stol(c.input));
    case Rule::kAmp:
      return trafficLightText(std::stol(c.input));
    case Rule::kTimeSlot:
      return slotValue("SA1", leadingNumber(c.input));
    case Rule::kVacationSlot:
      return slotValue("UVJ", leadingNumber(c.input));
    case Rule::kPremium: {
      const PremiumResult premium = parsePraemien("4711 " + c.input + "\n");
      return premium.table.find("4711").value_or("no entry");
    }
  }
  return {};
}

const Case kCases[] = {
    {Rule::kSigned10, "12.5", "+    12.50"},
    {Rule::kSigned10, "-3.25", "-     3.25"},
    {Rule::kSigned10, "1,5", "+     1.50"},  // the first comma is read as the point
    {Rule::kSigned10, "abc", "+     0.00"},
    {Rule::kSigned10, "1234567.891", "+234567.89"},  // the sign takes the leading digit
    {Rule::kComma, ".00", "0,00"},
    {Rule::kComma, "+    12.50", "+    12,50"},
    {Rule::kComma, "12", "12,00"},
    {Rule::kComma, "12345678901.5", "12345678901.5,00"},  // no separator among the first ten
    {Rule::kHoursMinutes, "", "0,00"},
    {Rule::kHoursMinutes, "+    12.58", "+    12,35"},
    {Rule::kHoursMinutes, "-     0.50", "-     0,30"},
    {Rule::kHoursMinutes, "+     0.00", "+     0,00"},
    {Rule::kHoursMinutes, "-12.58", "-12,35"},
    {Rule::kHoursMinutes, "7", "7,00"},
    {Rule::kSlotValue, "12,35", " 12,35 "},
    {Rule::kSlotValue, "-0,30", "  0,30-"},
    {Rule::kSlotValue, "12345.50", "2345,50 "},
    {Rule::kVacation, "12.5", "+    12,50"},
    {Rule::kVacation, "30", "+    30,00"},
    {Rule::kVacation, "20", "+    20,00"},
    {Rule::kVacation, "-3.25", "-     3,25"},
    {Rule::kTimeBalance, "755", "+    12,35"},
    {Rule::kTimeBalance, "-30", "-     0,30"},
    {Rule::kTimeBalance, "0", "+     0,00"},
    {Rule::kTimeBalance, "119", "+     1,59"},
    {Rule::kAmp, "3", "    3"},
    {Rule::kAmp, "-1", "   -1"},
    {Rule::kTimeSlot, "755", "  12,35 "},
    {Rule::kTimeSlot, "-755", "  12,35-"},
    {Rule::kTimeSlot, "-30", "   0,30-"},
    {Rule::kVacationSlot, "2.5", "   2,50 "},
    {Rule::kVacationSlot, "-2.5", "   2,50-"},
    {Rule::kVacationSlot, "12345.5", "2345,50 "},  // the leading digit is lost
    {Rule::kPremium, "12.5 7", "ZG  12,5%  ZK     7%"},
    {Rule::kPremium, "1234.56 0.5", "ZG 34,56%  ZK   0,5%"},
    {Rule::kPremium, "", "ZG      %  ZK      %"},
    {Rule::kPremium, "007.50 00.5", "ZG  7,50%  ZK   0,5%"},
};

void expectAllCases(const char* locale) {
  for (const Case& c : kCases) {
    EXPECT_EQ(apply(c), c.expected) << "rule " << static_cast<int>(c.rule) << ", input \"" << c.input << "\", locale "
                                    << locale;
  }
}

}  // namespace

TEST(BalanceNumberText, WorkedExamples) { expectAllCases("C"); }

TEST(BalanceNumberText, WorkedExamplesUnderADecimalCommaLocale) {
  struct RestoreLocale {
    std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ~RestoreLocale() { std::setlocale(LC_NUMERIC, previous.c_str()); }
  } restore;
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  }
  ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  expectAllCases("de_DE.UTF-8");
}

// The conversions without strtod and printf give the bytes and values of
// the C library's conversions over the range the balance columns hold:
// every value below 2000 and every value near a power of
// ten up to twelve whole digits, with none, one or two decimals, both
// separators, both signs (negative zero included); texts the fast way
// leaves to the C library (three decimals, halves among them, thirteen
// whole digits) as well. Minutes likewise, exhaustively near zero and near
// every power of ten up to beyond the fast range.
TEST(BalanceNumberText, FastConversionsGiveTheCLibrarysDigits) {
  std::vector<long> wholes;
  for (long n = 0; n < 2000; ++n) wholes.push_back(n);
  for (long power = 100000; power <= 10000000000000; power *= 10) {
    for (long n = power - 10; n < power + 10; ++n) wholes.push_back(n);
  }
  const std::string fractions[] = {"", ".", ".0", ".5", ",25", ".99", ".125", ".005", ".995", "x"};
  std::size_t compared = 0;
  for (const long whole : wholes) {
    for (const char* sign : {"", "-"}) {
      for (const std::string& fraction : fractions) {
        for (int hundredth = 0; hundredth < (fraction == ".99" ? 100 : 1); ++hundredth) {
          std::string text = sign + std::to_string(whole) + fraction;
          if (fraction == ".99")
            text = text.substr(0, text.size() - 2) + (hundredth < 10 ? "0" : "") + std::to_string(hundredth);
          ASSERT_EQ(formatSigned10(text), printfSigned10(text)) << text;
          ASSERT_EQ(formatSlotValue(text), printfSlotValue(text)) << text;
          const double fast = balanceNumber(text);
          const double library = leadingNumber(text);
          ASSERT_EQ(std::memcmp(&fast, &library, sizeof fast), 0) << text;
          for (const double sum : {fast, fast / 60, fast + 0.001, fast * 3 / 60, fast - 0.005}) {
            ASSERT_EQ(fixed2(sum), formatText("%0.2f", sum)) << sum;
          }
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, wholes.size() * 20);
  std::vector<long> minutes;
  for (long m = -100000; m <= 100000; ++m) minutes.push_back(m);
  for (long power = 1000000; power <= 100000000000; power *= 10) {
    for (const long near : {power, 6 * power}) {
      for (long m = near - 300; m < near + 300; ++m) {
        minutes.push_back(m);
        minutes.push_back(-m);
      }
    }
  }
  for (const long m : minutes) ASSERT_EQ(timeBalanceText(m), printfTimeBalanceText(m)) << m;
  // Hours with two decimals become minutes as the C library rounds them.
  for (int dd = 0; dd < 100; ++dd) {
    const std::string decimals = (dd < 10 ? "0" : "") + std::to_string(dd);
    const double minutesOfHour = leadingNumber("." + decimals) * 60;
    const std::string expected = minutesOfHour == 0 ? "00" : formatText("%02.0f", minutesOfHour).substr(0, 2);
    EXPECT_EQ(hoursToMinutes("-   12." + decimals), "-   12," + expected);
  }
}
