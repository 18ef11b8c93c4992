// The rules that turn balance numbers into the texts of the balance line.
// Numbers are read and written with "." as decimal point whatever the
// process locale is; the line shows them with a decimal comma.
#pragma once

#include <string>
#include <string_view>

namespace sstrxv {

// The first "," becomes "." and the number is read; the result is the
// magnitude written with "%10.2f" whose first character is replaced by the
// sign ("+" for zero and above, "-" below). From 1000000.00 on the sign
// takes the place of the leading digit; from 10000000.00 on the text is
// longer than ten characters.
[[nodiscard]] std::string formatSigned10(std::string_view text);
// The same through the C library's strtod and printf: formatSigned10 takes
// this way for every text that is not a plain decimal of at most 12 whole
// digits and two decimals, and gives the same bytes for those.
[[nodiscard]] std::string printfSigned10(std::string_view text);

// The value of a number text as leadingNumber reads it, without strtod for
// a plain decimal of at most 12 whole digits and two decimals.
[[nodiscard]] double balanceNumber(std::string_view text) noexcept;

// ".00" becomes "0,00"; otherwise the first "." or "," among the first ten
// characters becomes ",", and a text without one gets ",00" appended.
[[nodiscard]] std::string decimalComma(std::string_view text);

// Decimal hours become hours and minutes after a comma: "+    12.58" gives
// "+    12,35". Sign and padding before the whole hours stay as they are;
// an empty text gives "0,00", a text without "." or "," among its first
// ten characters gets ",00" appended.
[[nodiscard]] std::string hoursToMinutes(std::string_view text);

// The 8-character value of a flexible field: the magnitude with "%6.2f",
// a trailing "-" for negative numbers and a blank otherwise, a decimal
// comma, and only the last 8 characters when it is longer.
[[nodiscard]] std::string formatSlotValue(std::string_view text);
// The same through the C library's strtod and printf, the way formatSlotValue
// takes for every text that is not a plain decimal.
[[nodiscard]] std::string printfSlotValue(std::string_view text);

// "%0.2f" of a number with "." as decimal point, without printf for numbers
// below 10^11 that are not within a hundredth's 0.01 of a tie.
[[nodiscard]] std::string fixed2(double x);

// A vacation figure column as its 10-character field: "12.5" gives
// "+    12,50".
[[nodiscard]] std::string vacationFigureText(std::string_view columnText);

// A time balance in minutes as its 10-character field in hours and
// minutes: 755 gives "+    12,35", -30 gives "-     0,30".
[[nodiscard]] std::string timeBalanceText(long minutes);
// The same through the C library's printf and strtod: timeBalanceText
// takes this way from 600,000,000 minutes on, and gives the same bytes
// below.
[[nodiscard]] std::string printfTimeBalanceText(long minutes);

// A number written with a printf "%...f" format of formatText: the decimal
// separator of the process locale, if it is not ".", is put back to ".".
std::string& withDecimalPoint(std::string& formatted);

}  // namespace sstrxv
