#include "support/cipher.h"

#include <algorithm>
#include <utility>

#include "support/blowfish_constants.h"

namespace sstrxv {
namespace {

std::uint32_t F(const CipherState& s, std::uint32_t x) noexcept {
  return ((s.S[0][x >> 24] + s.S[1][(x >> 16) & 0xFF]) ^ s.S[2][(x >> 8) & 0xFF]) + s.S[3][x & 0xFF];
}

std::uint32_t littleEndianWord(const std::uint8_t* b) noexcept {
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

void putLittleEndianWord(std::uint32_t word, std::uint8_t* b) noexcept {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

}  // namespace

CipherState::~CipherState() {
  volatile std::uint32_t* words = P.data();
  for (std::size_t i = 0; i < P.size(); ++i) words[i] = 0;
  for (auto& box : S) {
    words = box.data();
    for (std::size_t i = 0; i < box.size(); ++i) words[i] = 0;
  }
}

void blowfishEncryptBlock(const CipherState& s, std::uint32_t& L, std::uint32_t& R) noexcept {
  for (std::size_t i = 0; i < 16; ++i) {
    L ^= s.P[i];
    R ^= F(s, L);
    std::swap(L, R);
  }
  std::swap(L, R);
  R ^= s.P[16];
  L ^= s.P[17];
}

void blowfishDecryptBlock(const CipherState& s, std::uint32_t& L, std::uint32_t& R) noexcept {
  for (std::size_t i = 17; i >= 2; --i) {
    L ^= s.P[i];
    R ^= F(s, L);
    std::swap(L, R);
  }
  std::swap(L, R);
  R ^= s.P[1];
  L ^= s.P[0];
}

void blowfishInit(CipherState& s, std::string_view key) noexcept {
  s.S = blowfish_constants::kInitialS;
  std::size_t k = 0;
  for (std::size_t i = 0; i < 18; ++i) {
    std::uint32_t word = 0;
    for (int j = 0; j < 4; ++j) {
      const auto byte = key.empty() ? 0u : static_cast<std::uint8_t>(key[k]);
      word = (word << 8) | byte;
      if (!key.empty()) k = (k + 1) % key.size();
    }
    s.P[i] = blowfish_constants::kInitialP[i] ^ word;
  }
  std::uint32_t L = 0;
  std::uint32_t R = 0;
  for (std::size_t i = 0; i < 18; i += 2) {
    blowfishEncryptBlock(s, L, R);
    s.P[i] = L;
    s.P[i + 1] = R;
  }
  for (auto& box : s.S) {
    for (std::size_t j = 0; j < 256; j += 2) {
      blowfishEncryptBlock(s, L, R);
      box[j] = L;
      box[j + 1] = R;
    }
  }
}

void hexToBytes(std::string_view hex, std::uint8_t* target) noexcept {
  const auto digit = [](char c) -> std::uint8_t {
    const auto code = static_cast<std::uint8_t>(c);
    return code >= 65 && code <= 70 ? static_cast<std::uint8_t>(code - 55) : static_cast<std::uint8_t>(code - 48);
  };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    target[i / 2] = static_cast<std::uint8_t>(16 * digit(hex[i]) + digit(hex[i + 1]));
  }
}

void decryptText(std::string_view cipherText, std::string& plainText, std::string_view key) noexcept {
  plainText.clear();
  CipherState state;
  blowfishInit(state, key);
  std::string bytes;
  for (std::size_t position = 0; position + 16 <= cipherText.size(); position += 16) {
    std::array<std::uint8_t, 8> block{};
    hexToBytes(cipherText.substr(position, 16), block.data());
    std::uint32_t L = littleEndianWord(block.data());
    std::uint32_t R = littleEndianWord(block.data() + 4);
    blowfishDecryptBlock(state, L, R);
    putLittleEndianWord(L, block.data());
    putLittleEndianWord(R, block.data() + 4);
    bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
  }
  plainText.assign(bytes.c_str());  // up to the first zero byte
}

std::string encryptText(std::string_view plainText, std::string_view key) {
  CipherState state;
  blowfishInit(state, key);
  std::string padded(plainText);
  padded.resize((padded.size() + 7) / 8 * 8, '\0');
  std::string hex;
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  for (std::size_t position = 0; position < padded.size(); position += 8) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(padded.data() + position);
    std::uint32_t L = littleEndianWord(bytes);
    std::uint32_t R = littleEndianWord(bytes + 4);
    blowfishEncryptBlock(state, L, R);
    std::array<std::uint8_t, 8> block{};
    putLittleEndianWord(L, block.data());
    putLittleEndianWord(R, block.data() + 4);
    for (std::uint8_t b : block) {
      hex += kDigits[b >> 4];
      hex += kDigits[b & 0xF];
    }
  }
  return hex;
}

}  // namespace sstrxv
