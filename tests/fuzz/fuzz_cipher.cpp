// Deciphering of arbitrary text, and enciphering followed by deciphering,
// which gives the plain text back up to its first zero byte.
#include <algorithm>
#include <string>

#include "fuzz_check.h"
#include "support/cipher.h"

using namespace sstrxv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzzBytes(data, size);
  std::string plain;
  decryptText(bytes, plain, kSettingsKey);
  FUZZ_CHECK(plain.size() <= bytes.size() / 2 && plain.find('\0') == std::string::npos);

  // First byte: the length of the key that follows it; the rest is the plain text.
  const std::size_t keyLength = bytes.empty() ? 0 : static_cast<std::uint8_t>(bytes[0]) % 57;
  const std::string_view key = bytes.substr(bytes.empty() ? 0 : 1, keyLength);
  const std::string_view text = bytes.substr(std::min(bytes.size(), 1 + key.size()));
  const std::string hex = encryptText(text, key);
  FUZZ_CHECK(hex.size() == (text.size() + 7) / 8 * 16);
  FUZZ_CHECK(hex.find_first_not_of("0123456789ABCDEF") == std::string::npos);
  std::string back;
  decryptText(hex, back, key);
  FUZZ_CHECK(back == text.substr(0, text.find('\0')));
  return 0;
}
