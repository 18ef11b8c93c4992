// The cipher of the stored credentials: Blowfish, 16 rounds, ECB, with the
// block halves read least significant byte first and the cipher text
// written as upper-case hexadecimal digits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sstrxv {

struct CipherState {
  std::array<std::uint32_t, 18> P{};
  std::array<std::array<std::uint32_t, 256>, 4> S{};
  ~CipherState();  // leaves no key material behind
};

// The fixed key of the settings file's values.
inline constexpr std::string_view kSettingsKey = "KRAVELN";

void blowfishInit(CipherState& state, std::string_view key) noexcept;
void blowfishEncryptBlock(const CipherState& state, std::uint32_t& L, std::uint32_t& R) noexcept;
void blowfishDecryptBlock(const CipherState& state, std::uint32_t& L, std::uint32_t& R) noexcept;

// Converts each pair of characters into one byte (A-F are 10-15, every
// other character counts as its code minus 48, in 8 bits).
void hexToBytes(std::string_view hex, std::uint8_t* target) noexcept;

// Deciphers a stored value: the plain text up to its first zero byte. Only
// whole 16-digit blocks are deciphered; a shorter rest is ignored.
void decryptText(std::string_view cipherText, std::string& plainText, std::string_view key) noexcept;

// The opposite direction, for setting up a settings file: the plain text
// padded with zero bytes to whole blocks (a text that fills its last block
// gets no extra block), enciphered, as upper-case hexadecimal digits.
std::string encryptText(std::string_view plainText, std::string_view key);

}  // namespace sstrxv
