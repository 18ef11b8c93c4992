// Set-based lookups: answers that a writer would otherwise ask the server
// for row by row, fetched once and kept on the client.
//
// - LookupTable holds the result of one set statement that joins a lookup
//   table against the key column the writer's main statement reads, and
//   answers per key: the one candidate row, no row, or "ask the server"
//   (the caller then sends its per-row statement).
// - RememberedStatements keeps the rows of statements already sent in this
//   snapshot, in the order the server delivered them, and replays them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/runtime.h"

namespace sstrxv {

// Rows kept on the client: every value with its length, NULL kept apart
// from the empty text.
class StoredRows {
 public:
  // Keeps columns [first, first + count) of the row; returns its index.
  std::size_t add(const Row& row, unsigned first, unsigned count);
  // The stored row as a Row; valid until the next call with the same
  // buffer or the next add.
  struct Buffer {
    std::vector<char*> values;
    std::vector<unsigned long> lengths;
  };
  [[nodiscard]] Row row(std::size_t index, Buffer& buffer) noexcept;
  [[nodiscard]] std::size_t size() const noexcept { return starts_.size(); }
  void clear() noexcept;

 private:
  struct Cell {
    std::size_t offset;
    unsigned long length;
    bool null;
  };
  std::string bytes_;
  std::vector<Cell> cells_;
  struct Start {
    std::size_t cell;
    unsigned count;
  };
  std::vector<Start> starts_;
};

enum class LookupAnswer {
  kRow,        // the set statement found exactly one row for the key
  kNoRow,      // the server matched no row for the key
  kAskServer,  // the per-row statement must answer
};

// Keys longer than this always go to their per-row statement, which then
// applies the statement-length limit itself.
inline constexpr std::size_t kLongestSetKey = 256;

// True for a key that reaches the server as a quoted literal with exactly
// the characters the key column holds: printable ASCII only (a byte above
// 0x7E would be converted from the connection's character set).
[[nodiscard]] bool isSetKey(std::string_view key) noexcept;

// Hashes texts so that a std::string_view finds a std::string key without
// a copy.
struct TextHash {
  using is_transparent = void;
  [[nodiscard]] std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

class LookupTable {
 public:
  // Sends the set statement. Its column 0 is the key as the main statement
  // reads it, column 1 the lookup table's key column (NULL: the server
  // matched no row), the further columns those of the per-row statement.
  // The table is usable only when the statement ran and both key columns
  // are strings of the same collation (the join then compares as the
  // per-row statement does); otherwise every key is asked per row.
  void load(DbSession& session, std::string statement) noexcept;
  [[nodiscard]] bool loaded() const noexcept { return loaded_; }
  [[nodiscard]] bool usable() const noexcept { return usable_; }
  // The answer for a key; with kRow the row holds the per-row columns.
  [[nodiscard]] LookupAnswer find(std::string_view key, Row& row) noexcept;
  void clear() noexcept;

 private:
  struct Entry {
    std::uint32_t candidates = 0;
    std::size_t row = 0;
  };
  bool loaded_ = false;
  bool usable_ = false;
  std::unordered_map<std::string, Entry, TextHash, std::equal_to<>> entries_;
  StoredRows rows_;
  StoredRows::Buffer buffer_;
};

// The rows of statements already sent, replayed in the server's order.
// Only statements that ran are kept: a failed one is sent again.
class RememberedStatements {
  struct Range {
    std::size_t first;
    std::size_t end;
    RC last;  // what the fetch after the last row gives
  };

 public:
  // A replay position over one remembered statement's rows.
  class Replay {
   public:
    // As dbFetch: 0 with the next row, 1032 after the last.
    [[nodiscard]] RC fetch(Row& row) noexcept;
    void close() noexcept { owner_ = nullptr; }

   private:
    friend class RememberedStatements;
    void set(RememberedStatements* owner, const Range& range) noexcept;
    RememberedStatements* owner_ = nullptr;
    Range range_{0, 0, RC_NO_MORE_ROWS};
    std::size_t next_ = 0;
    StoredRows::Buffer buffer_;
  };

  // Replays the statement's remembered rows, or sends it, keeps its rows
  // and replays them. Returns the statement's RC when it fails.
  [[nodiscard]] RC open(DbSession& session, std::string statement, Replay& replay) noexcept;
  // As readSingleRow, from the remembered rows.
  template <typename CopyRow>
  [[nodiscard]] RC readFirstRow(DbSession& session, std::string statement, CopyRow&& copy) noexcept {
    Replay replay;
    if (const RC executed = open(session, std::move(statement), replay); executed != RC_OK) return executed;
    Row row;
    const RC fetched = replay.fetch(row);
    if (fetched == RC_OK) copy(row);
    return fetched;
  }
  // Keeps the rows of a statement already run on the cursor (sent in a
  // pipelined batch), so that open replays them; one whose rows end in a
  // fetch failure is not kept.
  void keep(Cursor& cursor) noexcept;
  [[nodiscard]] bool holds(const std::string& statement) const noexcept { return ranges_.contains(statement); }
  void clear() noexcept;

 private:
  std::unordered_map<std::string, Range> ranges_;
  StoredRows rows_;
};

}  // namespace sstrxv
