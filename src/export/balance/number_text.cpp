#include "export/balance/number_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>

#include "support/text.h"

namespace sstrxv {
namespace {

// The position of the first "." or "," among the first ten characters.
std::size_t decimalSeparator(std::string_view text) { return text.substr(0, 10).find_first_of(".,"); }

// A number as the server writes a DECIMAL column of the balance tables: an
// optional "-", 1 to 12 digits, then optionally one "." (or "," where it
// is read as the point) and at most
// two digits, nothing else. Its value is exactly hundredths / 100.
struct PlainDecimal {
  bool negative = false;
  std::uint64_t hundredths = 0;
};
constexpr std::size_t kMostWholeDigits = 12;

bool plainDecimal(std::string_view text, bool commaToo, PlainDecimal& number) noexcept {
  std::size_t at = 0;
  number.negative = !text.empty() && text[0] == '-';
  if (number.negative) ++at;
  std::uint64_t whole = 0;
  const std::size_t wholeStart = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9')
    whole = whole * 10 + static_cast<unsigned>(text[at++] - '0');
  const std::size_t wholeDigits = at - wholeStart;
  if (wholeDigits == 0 || wholeDigits > kMostWholeDigits) return false;
  std::uint64_t fraction = 0;
  if (at < text.size()) {
    if (text[at] != '.' && (!commaToo || text[at] != ',')) return false;
    ++at;
    const std::size_t fractionStart = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
      fraction = fraction * 10 + static_cast<unsigned>(text[at++] - '0');
    const std::size_t fractionDigits = at - fractionStart;
    if (at != text.size() || fractionDigits > 2) return false;
    if (fractionDigits == 1) fraction *= 10;
  }
  number.hundredths = whole * 100 + fraction;
  return true;
}

// Appends a number right-aligned in `width` columns.
void appendRight(std::string& text, std::uint64_t value, std::size_t width, std::size_t minimumDigits = 1) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto count = static_cast<std::size_t>(end - digits);
  const std::size_t zeros = count < minimumDigits ? minimumDigits - count : 0;
  if (count + zeros < width) text.append(width - count - zeros, ' ');
  text.append(zeros, '0');
  text.append(digits, count);
}

// What "%10.2f" writes for hundredths / 100 (with a "-" for negative zero).
// A value of at most 12 whole digits and two decimals is within 2^-14 of
// the double nearest to it, far closer than the 0.005 at which "%.2f"
// would round to other digits, so the digits are those of the text.
std::string fixed10(std::uint64_t hundredths, bool negativeZero) {
  std::string whole;
  if (negativeZero) whole = "-";
  appendRight(whole, hundredths / 100, 0);
  std::string result;
  if (whole.size() + 3 < 10) result.assign(10 - whole.size() - 3, ' ');
  result += whole;
  result += '.';
  appendRight(result, hundredths % 100, 2, 2);
  return result;
}

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

double readNumberWithComma(std::string_view text) {
  std::string copy(text);
  if (const auto comma = copy.find(','); comma != std::string::npos) copy[comma] = '.';
  return leadingNumber(copy);
}

}  // namespace

std::string& withDecimalPoint(std::string& formatted) {
  const std::lconv* conventions = std::localeconv();
  const std::string_view point =
      conventions != nullptr && conventions->decimal_point != nullptr ? conventions->decimal_point : ".";
  if (point.empty() || point == ".") return formatted;
  if (const auto position = formatted.find(point); position != std::string::npos) {
    formatted.erase(position, point.size()).insert(position, 1, '.');
  }
  return formatted;
}

std::string formatSigned10(std::string_view text) {
  if (PlainDecimal number; plainDecimal(text, true, number)) {
    // As below: the magnitude, except that negative zero is written as
    // it is, since it is not below zero; then the sign in front.
    const bool negativeZero = number.negative && number.hundredths == 0;
    std::string result = fixed10(number.hundredths, negativeZero);
    result[0] = number.negative && !negativeZero ? '-' : '+';
    return result;
  }
  return printfSigned10(text);
}

std::string printfSigned10(std::string_view text) {
  const double x = readNumberWithComma(text);
  std::string result = formatText("%10.2f", x >= 0 ? x : -x);
  withDecimalPoint(result);
  if (!result.empty()) result[0] = x >= 0 ? '+' : '-';
  return result;
}

std::string decimalComma(std::string_view text) {
  if (text == ".00") return "0,00";
  std::string result(text);
  if (const auto separator = decimalSeparator(result); separator != std::string::npos) {
    result[separator] = ',';
  } else {
    result += ",00";
  }
  return result;
}

std::string hoursToMinutes(std::string_view text) {
  if (text.empty()) return "0,00";
  const auto separator = decimalSeparator(text);
  if (separator == std::string_view::npos) return std::string(text) + ",00";
  // The separator and at most three digits after it, read as a fraction of
  // an hour.
  std::string fraction(text.substr(separator, 4));
  fraction[0] = '.';
  std::string result(text.substr(0, separator));
  result += ',';
  if (fraction.size() == 3 && isDigit(fraction[1]) && isDigit(fraction[2])) {
    // Two decimals dd: the minutes are round(3 * dd / 5), whose fraction is
    // a multiple of 1/5 and never a tie; 0 only for dd = 0.
    const unsigned dd = static_cast<unsigned>((fraction[1] - '0') * 10 + (fraction[2] - '0'));
    appendRight(result, (6 * dd + 5) / 10, 2, 2);
    return result;
  }
  const double minutes = leadingNumber(fraction) * 60;
  if (minutes == 0) {
    result += "00";
  } else {
    result += formatText("%02.0f", minutes).substr(0, 2);
  }
  return result;
}

std::string formatSlotValue(std::string_view text) {
  if (PlainDecimal number; plainDecimal(text, true, number)) {
    // As below: "%6.2f" of the magnitude and a "-" after it, or of the
    // value itself (negative zero written with its sign) and a blank.
    const bool negativeZero = number.negative && number.hundredths == 0;
    std::string whole = negativeZero ? "-" : "";
    appendRight(whole, number.hundredths / 100, 0);
    std::string result;
    if (whole.size() + 3 < 6) result.assign(6 - whole.size() - 3, ' ');
    result += whole;
    result += ',';
    appendRight(result, number.hundredths % 100, 2, 2);
    result += number.negative && !negativeZero ? '-' : ' ';
    if (result.size() > 8) result.erase(0, result.size() - 8);
    return result;
  }
  return printfSlotValue(text);
}

std::string printfSlotValue(std::string_view text) {
  const double x = readNumberWithComma(text);
  std::string result = x < 0 ? formatText("%6.2f-", -x) : formatText("%6.2f ", x);
  withDecimalPoint(result);
  if (const auto point = result.find('.'); point != std::string::npos) result[point] = ',';
  if (result.size() > 8) result.erase(0, result.size() - 8);
  return result;
}

std::string vacationFigureText(std::string_view columnText) { return decimalComma(formatSigned10(columnText)); }

std::string fixed2(double x) {
  // 100 * |x| below 10^13 is within 2^-9 of its double; away from a tie
  // (a fraction of 0.49 to 0.51) the nearest whole number of hundredths is
  // the one "%.2f" rounds the exact value to.
  const double magnitude = std::fabs(x);
  if (magnitude < 1e11) {
    const double hundredths = magnitude * 100;
    const double below = std::floor(hundredths);
    const double fraction = hundredths - below;
    if (fraction < 0.49 || fraction > 0.51) {
      const auto rounded = static_cast<std::uint64_t>(below) + (fraction > 0.5 ? 1 : 0);
      std::string text = std::signbit(x) ? "-" : "";
      appendRight(text, rounded / 100, 0);
      text += '.';
      appendRight(text, rounded % 100, 2, 2);
      return text;
    }
  }
  std::string text = formatText("%0.2f", x);
  return withDecimalPoint(text);
}

double balanceNumber(std::string_view text) noexcept {
  // hundredths and 100 are exact doubles, so their quotient is the
  // correctly rounded value of the text, as strtod gives it.
  if (PlainDecimal number; plainDecimal(text, false, number)) {
    const double magnitude = static_cast<double>(number.hundredths) / 100;
    return number.negative ? -magnitude : magnitude;
  }
  return leadingNumber(text);
}

std::string timeBalanceText(long minutes) {
  // Below 10,000,000 hours the hours text is 10 columns with its "." in
  // column 8. minutes / 60 with two decimals is round(5 * minutes / 3),
  // whose fraction is 0, 1/3 or 2/3 and so never a tie, and far from one
  // beside a double's error; the minutes of the hundredths dd are
  // round(3 * dd / 5), whose fraction is a multiple of 1/5 and so never a
  // tie either.
  constexpr std::uint64_t kFastMinutes = 600'000'000;
  const std::uint64_t magnitude =
      minutes < 0 ? static_cast<std::uint64_t>(-(minutes + 1)) + 1 : static_cast<std::uint64_t>(minutes);
  if (magnitude < kFastMinutes) {
    const std::uint64_t hundredths = (10 * magnitude + 3) / 6;
    std::string text = fixed10(hundredths, false);
    text[0] = minutes < 0 ? '-' : '+';
    text.resize(7);
    text += ',';
    appendRight(text, (6 * (hundredths % 100) + 5) / 10, 2, 2);
    return text;
  }
  return printfTimeBalanceText(minutes);
}

std::string printfTimeBalanceText(long minutes) {
  std::string hours = formatText("%-.2f", static_cast<double>(minutes) / 60);
  return hoursToMinutes(formatSigned10(withDecimalPoint(hours)));
}

}  // namespace sstrxv
