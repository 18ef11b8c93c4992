#include "export/balance/premium.h"

#include <functional>
#include <new>

#include "export/balance/text_pieces.h"
#include "support/files.h"
#include "support/platform.h"

namespace sstrxv {
namespace {

constexpr std::size_t kValueSize = 5;

struct PieceColumns {
  std::string key;
  std::string zg;
  std::string zk;
};

// The three columns of one piece. Blanks separate the columns (a single
// leading blank is skipped); a line end ends the piece. In the two value
// columns leading zeros are dropped, except before "." and as the piece's
// last character, and "." is shown as ","; columns after the third are
// ignored.
PieceColumns scanPiece(std::string_view piece) {
  PieceColumns columns;
  int column = 1;
  bool afterBlank = false;
  for (std::size_t i = 0; i < piece.size(); ++i) {
    const char c = piece[i];
    if (c == '\r' || c == '\n') break;
    if (c == ' ') {
      afterBlank = true;
      continue;
    }
    if (afterBlank && i != 1 && column < 4) ++column;
    afterBlank = false;
    if (column == 1) {
      columns.key += c;
    } else if (column <= 3) {
      std::string& value = column == 2 ? columns.zg : columns.zk;
      const bool last = i + 1 == piece.size();
      if (c == '0' && value.empty() && !last && piece[i + 1] != '.') continue;
      value += c == '.' ? ',' : c;
    }
  }
  for (std::string* value : {&columns.zg, &columns.zk}) {
    if (value->size() > kValueSize) value->erase(0, value->size() - kValueSize);
  }
  return columns;
}

// "ZG %5s%%  ZK %5s%%" for values holding any byte.
std::string premiumText(std::string_view zg, std::string_view zk) {
  std::string text = "ZG ";
  text.append(kValueSize - zg.size(), ' ').append(zg).append("%  ZK ");
  text.append(kValueSize - zk.size(), ' ').append(zk).append("%");
  return text;
}

PremiumResult parse(std::streambuf& source) noexcept {
  PremiumResult result;
  TextPieces pieces(source, kPremiumPieceSize);
  std::string piece;
  while (pieces.next(piece)) {
    const PieceColumns columns = scanPiece(piece);
    result.table.add(columns.key, columns.zg, columns.zk);
  }
  result.status = PremiumStatus::kRead;
  return result;
}

}  // namespace

std::size_t PremiumTable::slotOf(std::string_view key) const noexcept {
  const std::size_t mask = index_.size() - 1;
  for (std::size_t slot = std::hash<std::string_view>{}(key)&mask;; slot = (slot + 1) & mask) {
    if (index_[slot] == 0 || keyAt(index_[slot] - 1) == key) return slot;
  }
}

void PremiumTable::growIndex() {
  std::vector<std::size_t> old(index_.size() < 16 ? 16 : index_.size() * 2, 0);
  old.swap(index_);
  for (const std::size_t number : old) {
    if (number != 0) index_[slotOf(keyAt(number - 1))] = number;
  }
}

void PremiumTable::add(std::string_view key, std::string_view zg, std::string_view zk) {
  // The index stays at most half full, so a probe always meets a free position.
  if ((keys_.size() + 1) * 2 > index_.size()) growIndex();
  const std::size_t slot = slotOf(key);
  if (index_[slot] == 0) {
    zg = zg.substr(zg.size() > kValueSize ? zg.size() - kValueSize : 0);
    zk = zk.substr(zk.size() > kValueSize ? zk.size() - kValueSize : 0);
    const std::size_t offset = bytes_.size();
    bytes_.append(key).append(zg).append(zk);
    keys_.push_back({offset, static_cast<std::uint32_t>(key.size()), static_cast<std::uint16_t>(zg.size()),
                     static_cast<std::uint16_t>(zk.size())});
    index_[slot] = keys_.size();
  }
  ++entryCount_;
}

std::string_view PremiumTable::keyAt(std::size_t i) const noexcept {
  const Key& k = keys_[i];
  return std::string_view(bytes_).substr(k.offset, k.keyLength);
}

std::optional<std::string> PremiumTable::find(std::string_view personnelNumber) const {
  if (keys_.empty()) return std::nullopt;
  const std::size_t number = index_[slotOf(personnelNumber)];
  if (number == 0) return std::nullopt;
  const Key& k = keys_[number - 1];
  const std::string_view values = std::string_view(bytes_).substr(k.offset + k.keyLength);
  return premiumText(values.substr(0, k.zgLength), values.substr(k.zgLength, k.zkLength));
}

std::string_view premiumStatusMessage(PremiumStatus status) noexcept {
  switch (status) {
    case PremiumStatus::kRead:
      return {};
    case PremiumStatus::kOpenFailed:
      return kPremiumOpenFailedMessage;
  }
  return {};
}

PremiumResult parsePraemien(std::string_view bytes) noexcept {
  ByteSource source(bytes);
  return parse(source);
}

PremiumResult readPraemien(std::string_view path) noexcept {
  const auto bytes = platform::readRegularFile(platform::nativePath(path));
  if (!bytes) return PremiumResult{};
  return parsePraemien(*bytes);
}

bool findPraemie(const PremiumTable& table, std::string_view personnelNumber, SaldoRecord& record) {
  const std::optional<std::string> text = table.find(personnelNumber);
  if (!text) return false;
  record[saldo_field::kF10].assign(*text);
  return true;
}

}  // namespace sstrxv
