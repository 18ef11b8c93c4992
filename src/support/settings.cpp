#include "support/settings.h"

#include <optional>
#include <sstream>

#include "support/cipher.h"
#include "support/files.h"
#include "support/platform.h"

namespace sstrxv {
namespace {

struct SettingRecord {
  std::string section;
  long number = 0;
  std::string key;
  std::string value;  // still enciphered
};

void stripCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

// Line 1: fields separated by ";", the section between the first and the
// second one. Line 2: entry number; key; value. A record that lacks these
// separators cannot be read and never matches.
std::optional<SettingRecord> parseRecord(const std::string& line1, const std::string& line2) {
  const auto p1 = line1.find(';');
  const auto p2 = p1 == std::string::npos ? p1 : line1.find(';', p1 + 1);
  const auto q1 = line2.find(';');
  const auto q2 = q1 == std::string::npos ? q1 : line2.find(';', q1 + 1);
  if (p2 == std::string::npos || q2 == std::string::npos) return std::nullopt;
  SettingRecord record;
  record.section = line1.substr(p1 + 1, p2 - p1 - 1);
  record.number = leadingInteger(std::string_view(line2).substr(0, q1));
  record.key = line2.substr(q1 + 1, q2 - q1 - 1);
  record.value = line2.substr(q2 + 1);
  return record;
}

bool matches(const SettingRecord& record, std::string_view section, std::string_view key, long number) {
  return (!section.empty() && record.section == section) || (!key.empty() && record.key == key) ||
         (number != 0 && record.number == number);
}

// The first matching record of the settings text.
SettingResult findSetting(std::istream& file, std::string_view section, std::string_view key, long number) {
  SettingResult result;
  std::string line1;
  std::string line2;
  while (std::getline(file, line1) && std::getline(file, line2)) {
    stripCarriageReturn(line1);
    stripCarriageReturn(line2);
    const auto record = parseRecord(line1, line2);
    if (!record || !matches(*record, section, key, number)) continue;
    std::string plain;
    decryptText(record->value, plain, kSettingsKey);
    result.settingNumber = record->number;
    result.settingSection.assign(record->section);
    result.settingKey.assign(record->key);
    result.settingValue.assign(plain);
    return result;
  }
  return result;
}

}  // namespace

SettingResult readSetting(std::string_view section, std::string_view key, long number, std::string_view path) noexcept {
  // Only a regular file of bounded size: a device or FIFO at the path
  // reads as a missing file instead of never ending.
  if (const auto text = platform::readRegularFile(platform::nativePath(path))) {
    return readSettingFromText(section, key, number, *text);
  }
  return SettingResult{};
}

SettingResult readSettingFromText(std::string_view section, std::string_view key, long number,
                                  std::string_view text) noexcept {
  std::istringstream file{std::string(text)};
  return findSetting(file, section, key, number);
}

}  // namespace sstrxv
