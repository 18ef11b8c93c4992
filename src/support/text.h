// Text helpers shared by every subsystem: bounded fields, printf-exact
// formatting, trimming and upper-casing.
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace sstrxv {

// A text field with a fixed capacity. Values longer than the capacity are
// cut to it, so a field can never run into its neighbour.
class BoundedText {
 public:
  explicit BoundedText(std::size_t capacity) : capacity_(capacity) { text_.reserve(capacity); }

  // Cleared and appended rather than assigned a cut view: the same bytes, and
  // gcc 12 at -O3 sees no overlap in it (it reports one, wrongly, for assign).
  void assign(std::string_view value) {
    text_.clear();
    text_.append(value.data(), std::min(value.size(), capacity_));
  }
  void assign(const char* value) { assign(value ? std::string_view(value) : std::string_view()); }
  void clear() noexcept { text_.clear(); }

  [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }
  [[nodiscard]] std::string_view view() const noexcept { return text_; }
  [[nodiscard]] const char* c_str() const noexcept { return text_.c_str(); }
  [[nodiscard]] bool empty() const noexcept { return text_.empty(); }
  [[nodiscard]] std::size_t size() const noexcept { return text_.size(); }
  // Direct access for in-place edits (trimming); callers keep the capacity.
  [[nodiscard]] std::string& text() noexcept { return text_; }

 private:
  std::size_t capacity_;
  std::string text_;
};

// printf-style formatting into a std::string, byte for byte what snprintf
// gives, without any fixed-size buffer. Every printf-exact text of the
// program ("%-50s", "%10.2f", "%5ld", messages, statements) goes through it.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
formatText(const char* format, ...) noexcept;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void appendFormat(std::string& target, const char* format, ...) noexcept;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 0)))
#endif
void appendFormatV(std::string& target, const char* format, std::va_list args) noexcept;

// Removes trailing blanks and tabs in place. A text that is empty or made
// only of blanks and tabs is left unchanged.
std::string& trimRight(std::string& text) noexcept;

// Changes the letters a to z to A to Z in place; every other byte stays.
std::string& upperCase(std::string& text) noexcept;

// Reads a leading decimal integer the way strtol does (leading blanks,
// optional sign, digits); no digits give 0.
long leadingInteger(std::string_view text) noexcept;

// Reads a leading decimal number the way strtod does with the "C" locale,
// whatever the process locale is; no number gives 0.0.
double leadingNumber(std::string_view text) noexcept;

}  // namespace sstrxv
