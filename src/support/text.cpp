#include "support/text.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <memory>
#include <type_traits>

namespace sstrxv {

void appendFormatV(std::string& target, const char* format, std::va_list args) noexcept {
  va_list probe;
  va_copy(probe, args);
  const int needed = std::vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  if (needed <= 0) return;
  const std::size_t old = target.size();
  try {
    target.resize(old + static_cast<std::size_t>(needed));
  } catch (...) {
    return;  // no memory: the text stays as it was
  }
  // vsnprintf writes the terminator into the string's own spare byte.
  std::vsnprintf(target.data() + old, static_cast<std::size_t>(needed) + 1, format, args);
}

std::string formatText(const char* format, ...) noexcept {
  std::string text;
  va_list args;
  va_start(args, format);
  appendFormatV(text, format, args);
  va_end(args);
  return text;
}

void appendFormat(std::string& target, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  appendFormatV(target, format, args);
  va_end(args);
}

std::string& trimRight(std::string& text) noexcept {
  const auto last = text.find_last_not_of(" \t");
  if (last != std::string::npos) text.erase(last + 1);
  return text;
}

std::string& upperCase(std::string& text) noexcept {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

long leadingInteger(std::string_view text) noexcept {
  const std::string copy(text);
  return std::strtol(copy.c_str(), nullptr, 10);
}

double leadingNumber(std::string_view text) noexcept {
  const std::string copy(text);
  // The "C" conventions whatever the process locale is: under a locale with
  // a decimal comma, strtod would stop at the point of "12.5".
  using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&freelocale)>;
  const LocaleHandle c(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr)), &freelocale);
  return c ? strtod_l(copy.c_str(), nullptr, c.get()) : std::strtod(copy.c_str(), nullptr);
}

}  // namespace sstrxv
