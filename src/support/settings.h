// Reader of the product's settings file: two-line records whose values are
// stored enciphered.
#pragma once

#include <string>
#include <string_view>

#include "support/text.h"

namespace sstrxv {

inline constexpr std::string_view kSettingsFilePath = "..\\..\\Files\\Melvarion.Ini";

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

}  // namespace sstrxv
