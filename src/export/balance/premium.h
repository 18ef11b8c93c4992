// The premium data file: per personnel number two percentages that another
// system delivers, shown as the premium text in the last flexible field of
// the balance line of the tenants at one location.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/balance/saldo_record.h"

namespace sstrxv {

// The location whose tenants get premium texts.
inline constexpr std::string_view kPremiumLocation = "42381";
// The file is read in pieces of at most this many characters, line end
// included; the rest of a longer line is a piece of its own.
inline constexpr std::size_t kPremiumPieceSize = 49;

inline constexpr std::string_view kPremiumOpenFailedMessage = "Oeffnen der Praemiensystemdatei ist fehlgeschlagen";
// What the writer logs when the table could not be loaded.
inline constexpr std::string_view kPremiumUnavailableMessage = "Praemiensystemdaten konnte nicht ermittelt werden.";

// The premium texts by personnel number. Every piece of the file is an
// entry; of entries with equal keys the first one counts, and a lookup
// goes through a hash index.
class PremiumTable {
 public:
  // The number of entries: every piece read, blank and heading lines included.
  [[nodiscard]] std::size_t entryCount() const noexcept { return entryCount_; }
  [[nodiscard]] bool empty() const noexcept { return entryCount_ == 0; }

  // The 20-character text of the first entry whose key equals the
  // personnel number exactly.
  [[nodiscard]] std::optional<std::string> find(std::string_view personnelNumber) const;

  // Adds the entry of one piece: its key and its two values as shown
  // (at most five characters each).
  void add(std::string_view key, std::string_view zg, std::string_view zk);

  // The distinct keys, in the order of their first entry.
  [[nodiscard]] std::size_t keyCount() const noexcept { return keys_.size(); }
  [[nodiscard]] std::string_view keyAt(std::size_t i) const noexcept;

 private:
  struct Key {
    std::size_t offset;  // of key, ZG and ZK value in bytes_
    std::uint32_t keyLength;
    std::uint16_t zgLength;
    std::uint16_t zkLength;
  };

  // The index position that holds the key, or the free one where it belongs.
  [[nodiscard]] std::size_t slotOf(std::string_view key) const noexcept;
  void growIndex();

  std::string bytes_;
  std::vector<Key> keys_;
  std::vector<std::size_t> index_;  // key number + 1, 0 for a free position; size a power of two
  std::size_t entryCount_ = 0;
};

enum class PremiumStatus {
  kRead,        // read to its end; the table may still be empty
  kOpenFailed,  // the file is missing or cannot be opened
};

struct PremiumResult {
  PremiumTable table;  // empty unless the status is kRead
  PremiumStatus status = PremiumStatus::kOpenFailed;
};

// The message the reader logs for a status ("" for kRead); the writer then
// logs kPremiumUnavailableMessage and goes on without premium texts.
[[nodiscard]] std::string_view premiumStatusMessage(PremiumStatus status) noexcept;

// The premium table of the bytes of a premium data file.
[[nodiscard]] PremiumResult parsePraemien(std::string_view bytes) noexcept;

// Reads the premium data file at `path` (a run's: Env::inputs; backslashes
// as separators).
[[nodiscard]] PremiumResult readPraemien(std::string_view path) noexcept;

// Puts the premium text of the personnel number into F10; without an
// entry for it the record stays as it is. True when a text was put.
bool findPraemie(const PremiumTable& table, std::string_view personnelNumber, SaldoRecord& record);

}  // namespace sstrxv
