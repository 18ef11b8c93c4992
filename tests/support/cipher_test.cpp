#include <gtest/gtest.h>

#include <cstdint>

#include "support/cipher.h"

using namespace sstrxv;

namespace {

// Standard Blowfish ECB on one block, the halves read most significant
// byte first, as in the published test vectors.
std::uint64_t standardEncrypt(std::string_view key, std::uint64_t block) {
  CipherState state;
  blowfishInit(state, key);
  auto L = static_cast<std::uint32_t>(block >> 32);
  auto R = static_cast<std::uint32_t>(block);
  blowfishEncryptBlock(state, L, R);
  return static_cast<std::uint64_t>(L) << 32 | R;
}

std::uint64_t standardDecrypt(std::string_view key, std::uint64_t block) {
  CipherState state;
  blowfishInit(state, key);
  auto L = static_cast<std::uint32_t>(block >> 32);
  auto R = static_cast<std::uint32_t>(block);
  blowfishDecryptBlock(state, L, R);
  return static_cast<std::uint64_t>(L) << 32 | R;
}

std::string bytes(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

// The stored form of one block: each 4-byte half with its bytes reversed,
// as hexadecimal digits.
std::string storedBlock(std::uint64_t block) {
  std::string hex;
  const int order[] = {3, 2, 1, 0, 7, 6, 5, 4};
  for (int i : order) {
    const auto byte = static_cast<unsigned>((block >> (56 - 8 * i)) & 0xFF);
    hex += "0123456789ABCDEF"[byte >> 4];
    hex += "0123456789ABCDEF"[byte & 0xF];
  }
  return hex;
}

}  // namespace

TEST(Cipher, PublishedVectors) {
  EXPECT_EQ(standardEncrypt(bytes({0, 0, 0, 0, 0, 0, 0, 0}), 0), 0x4EF997456198DD78ull);
  EXPECT_EQ(standardEncrypt(bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0xFFFFFFFFFFFFFFFFull),
            0x51866FD5B85ECB8Aull);
  EXPECT_EQ(standardEncrypt(bytes({0x30, 0, 0, 0, 0, 0, 0, 0}), 0x1000000000000001ull), 0x7D856F9A613063F2ull);
  EXPECT_EQ(standardEncrypt(bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}), 0x1111111111111111ull),
            0x61F9C3802281B096ull);
  EXPECT_EQ(standardDecrypt(bytes({0, 0, 0, 0, 0, 0, 0, 0}), 0x4EF997456198DD78ull), 0u);
}

TEST(Cipher, StoredValuesReadEachHalfLeastSignificantByteFirst) {
  // The all-zero vector in its stored form: the bytes of each half reversed.
  std::string plain;
  const std::string zeroKey = bytes({0, 0, 0, 0, 0, 0, 0, 0});
  decryptText(storedBlock(0x4EF997456198DD78ull), plain, zeroKey);
  EXPECT_EQ(plain, "");  // eight zero bytes: an empty text

  const std::uint64_t cipher = standardEncrypt(kSettingsKey, 0x4142434400000000ull);  // "ABCD" reversed halves
  decryptText(storedBlock(cipher), plain, kSettingsKey);
  EXPECT_EQ(plain, "DCBA");
}

TEST(Cipher, RoundTripThroughTheOwnEncipherment) {
  for (const std::string value : {"", "localhost", "12345678", "sstrxv-secret", "a much longer password value!"}) {
    const std::string stored = encryptText(value, kSettingsKey);
    EXPECT_EQ(stored.size() % 16, 0u);
    EXPECT_EQ(stored.find_first_of("abcdef"), std::string::npos);
    std::string plain;
    decryptText(stored, plain, kSettingsKey);
    EXPECT_EQ(plain, value);
  }
  // A value filling its block exactly gets no extra block.
  EXPECT_EQ(encryptText("12345678", kSettingsKey).size(), 16u);
  EXPECT_EQ(encryptText("123456789", kSettingsKey).size(), 32u);
}

TEST(Cipher, LowerCaseDigitsAndPartialBlocks) {
  const std::string stored = encryptText("secret", kSettingsKey);
  std::string lower = stored;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string plain;
  if (lower != stored) {
    decryptText(lower, plain, kSettingsKey);
    EXPECT_NE(plain, "secret");
  }
  // Only whole blocks are deciphered; a partial rest is ignored.
  const std::string twoBlocks = encryptText("0123456789abcdef", kSettingsKey);
  decryptText(twoBlocks.substr(0, 16 + 7), plain, kSettingsKey);
  EXPECT_EQ(plain, "01234567");
  decryptText("", plain, kSettingsKey);
  EXPECT_EQ(plain, "");
}
