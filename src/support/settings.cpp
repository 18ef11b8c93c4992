#include "support/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <sstream>
#include <vector>

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

// The connection keys, in the order and with the numbers of their records.
constexpr std::array<std::string_view, 3> kCredentialKeys = {"NET8", "LOGIN", "PASS"};
constexpr std::string_view kCredentialSection = "Datenbank";

// The lines of a text as the reader takes them, each with its line end.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t size = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, size));
    text.remove_prefix(size);
  }
  return lines;
}

// A line without its line end.
std::string bare(std::string_view line) {
  std::string text(line.substr(0, line.find('\n')));
  stripCarriageReturn(text);
  return text;
}

bool isCredentialRecord(std::string_view line1, std::string_view line2) {
  const auto record = parseRecord(bare(line1), bare(line2));
  if (!record) return false;
  for (const std::string_view key : kCredentialKeys) {
    if (record->key == key) return true;
  }
  return false;
}

bool fitsSetting(std::string_view value) {
  return value.size() <= kSettingValueLimit &&
         value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

std::string withCredentials(std::string_view text, const Credentials& credentials) {
  std::string records;
  const std::string_view values[] = {credentials.host, credentials.user, credentials.password};
  for (std::size_t i = 0; i < kCredentialKeys.size(); ++i) {
    records += ";" + std::string(kCredentialSection) + ";\r\n" + std::to_string(i + 1) + ";" +
               std::string(kCredentialKeys[i]) + ";" + encryptText(values[i], kSettingsKey) + "\r\n";
  }
  const std::vector<std::string_view> lines = linesOf(text);
  std::string result;
  bool placed = false;
  std::size_t i = 0;
  for (; i + 1 < lines.size(); i += 2) {
    if (isCredentialRecord(lines[i], lines[i + 1])) {
      if (!placed) result += records;
      placed = true;
    } else {
      result.append(lines[i]).append(lines[i + 1]);
    }
  }
  if (i < lines.size()) {
    // An unpaired last line: records after it would be paired wrongly.
    result.append(lines[i]);
    if (!placed) result.insert(0, records);
  } else if (!placed) {
    if (!result.empty() && result.back() != '\n') result += "\r\n";
    result += records;
  }
  return result;
}

CredentialsWrite writeCredentials(std::string_view path, const Credentials& credentials) noexcept {
  if (!fitsSetting(credentials.host) || !fitsSetting(credentials.user) || !fitsSetting(credentials.password)) {
    return CredentialsWrite::kValueUnfit;
  }
  const std::string native = platform::nativePath(path);
  std::string text;
  struct stat status {};
  status.st_uid = ::geteuid();
  status.st_gid = ::getegid();
  status.st_mode = S_IRUSR | S_IWUSR;
  // Never through a link, and never a file that has another name too.
  const platform::FileHandle file(::open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file && errno == ELOOP) return CredentialsWrite::kNotPlainFile;
  if (!file && errno != ENOENT) return CredentialsWrite::kUnreadable;
  if (file) {
    if (::fstat(file.get(), &status) != 0) return CredentialsWrite::kUnreadable;
    if (!S_ISREG(status.st_mode) || status.st_nlink != 1) return CredentialsWrite::kNotPlainFile;
    if (static_cast<std::uintmax_t>(status.st_size) > platform::kInputFileLimit) return CredentialsWrite::kNotPlainFile;
    char buffer[4096];
    for (ssize_t got; (got = ::read(file.get(), buffer, sizeof buffer)) != 0;) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 || text.size() > platform::kInputFileLimit) return CredentialsWrite::kUnreadable;
      text.append(buffer, static_cast<std::size_t>(got));
    }
  }
  auto output = platform::OutputFile::open(native, platform::OutputMode::kReplace);
  if (!output || !output->setOwnerAndMode(status.st_uid, status.st_gid, status.st_mode & 07777U) ||
      !output->write(withCredentials(text, credentials)) || !output->commit()) {
    return CredentialsWrite::kWriteFailed;
  }
  return CredentialsWrite::kWritten;
}

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
