// Reader of the product's settings file: two-line records whose values are
// stored enciphered.
#pragma once

#include <string>
#include <string_view>

#include "support/credentials.h"
#include "support/text.h"

namespace sstrxv {

// The result of one lookup.
struct SettingResult {
  long settingNumber = 0;
  BoundedText settingSection{200};
  BoundedText settingKey{200};
  BoundedText settingValue{200};  // deciphered
};

// Scans the settings file for the first record that matches by one of the
// criteria given: a non-empty section, a non-empty key or a non-zero number
// (an empty section and number 0 mean "not given"). A missing file or no
// match gives an empty result.
[[nodiscard]] SettingResult readSetting(std::string_view section, std::string_view key, long number,
                                        std::string_view path) noexcept;

// The same lookup in the bytes of a settings file.
[[nodiscard]] SettingResult readSettingFromText(std::string_view section, std::string_view key, long number,
                                                std::string_view text) noexcept;

// The longest value a lookup gives back whole.
inline constexpr std::size_t kSettingValueLimit = 200;

// The settings text with the records NET8, LOGIN and PASS (section
// "Datenbank", numbers 1 to 3, values enciphered, every line ended by CR LF)
// in place of every record that a lookup of one of these keys would find.
// Every other line stays byte for byte. The records take the place of the
// first one replaced; without one they follow the last record (a line end
// is added to a last line without one), or, when the lines do not pair up
// (an odd number), they come first, where the lookup pairs them as written.
[[nodiscard]] std::string withCredentials(std::string_view text, const Credentials& credentials);

enum class CredentialsWrite {
  kWritten,
  kValueUnfit,    // a value longer than a lookup gives back, or with a CR, LF or NUL
  kNotPlainFile,  // a link, a file with other names, no regular file, larger than a settings file
  kUnreadable,    // the file cannot be opened or read
  kWriteFailed,   // the replacement could not be written or put in place
};

// Writes the records into the settings file at the path (backslashes as
// separators): the file is read without following a link, and replaced whole
// by a new file that gets its owner, group and permission bits (a new file:
// the caller's, 0600). A missing file is created with the records alone.
[[nodiscard]] CredentialsWrite writeCredentials(std::string_view path, const Credentials& credentials) noexcept;

}  // namespace sstrxv
