#include "export/balance/number_text.h"

#include <clocale>

#include "support/text.h"

namespace sstrxv {
namespace {

// The position of the first "." or "," among the first ten characters.
std::size_t decimalSeparator(std::string_view text) { return text.substr(0, 10).find_first_of(".,"); }

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
  const double minutes = leadingNumber(fraction) * 60;
  std::string result(text.substr(0, separator));
  result += ',';
  if (minutes == 0) {
    result += "00";
  } else {
    result += formatText("%02.0f", minutes).substr(0, 2);
  }
  return result;
}

std::string formatSlotValue(std::string_view text) {
  const double x = readNumberWithComma(text);
  std::string result = x < 0 ? formatText("%6.2f-", -x) : formatText("%6.2f ", x);
  withDecimalPoint(result);
  if (const auto point = result.find('.'); point != std::string::npos) result[point] = ',';
  if (result.size() > 8) result.erase(0, result.size() - 8);
  return result;
}

std::string vacationFigureText(std::string_view columnText) { return decimalComma(formatSigned10(columnText)); }

std::string timeBalanceText(long minutes) {
  std::string hours = formatText("%-.2f", static_cast<double>(minutes) / 60);
  return hoursToMinutes(formatSigned10(withDecimalPoint(hours)));
}

}  // namespace sstrxv
