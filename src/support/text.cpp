#include "support/text.h"

#include <locale.h>
#include <algorithm>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <type_traits>

namespace sstrxv {

void appendFormatV(std::string& target, const char* format, std::va_list args) noexcept {
  const std::size_t old = target.size();
  va_list second;
  va_copy(second, args);
  // First into the room the text already has (64 to 512 bytes): most
  // texts fit and are formatted once. vsnprintf writes its terminator
  // into the string's own spare byte.
  const std::size_t room = std::clamp<std::size_t>(target.capacity() - old, 64, 512);
  target.resize(old + room);
  const int needed = std::vsnprintf(target.data() + old, room + 1, format, args);
  if (needed < 0) {
    target.resize(old);
  } else if (static_cast<std::size_t>(needed) <= room) {
    target.resize(old + static_cast<std::size_t>(needed));
  } else {
    target.resize(old + static_cast<std::size_t>(needed));
    std::vsnprintf(target.data() + old, static_cast<std::size_t>(needed) + 1, format, second);
  }
  va_end(second);
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
  // a decimal comma, strtod would stop at the point of "12.5". The locale
  // object is made once; it is a constant of the process, not run state.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return cLocale != nullptr ? strtod_l(copy.c_str(), nullptr, cLocale) : std::strtod(copy.c_str(), nullptr);
}

}  // namespace sstrxv
