// Set-based lookups: answers that a writer would otherwise ask the server
// for row by row, fetched once and kept on the client.
//
// - LookupTable holds the result of one set statement (a plain read of a
//   lookup table matched on the client, or a join against the key column
//   the writer's main statement reads, matched by the server) and answers
//   per key: the one candidate row, no row, or "ask the server" (the
//   caller then sends its per-row statement).
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
  // Frees the bytes and the cells.
  void clear() noexcept;
  [[nodiscard]] std::size_t held() const noexcept;

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

// An answer, not a result: each value says who answers the key, none is a failure.
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

// A key column collation whose equality the client reproduces exactly for
// printable-ASCII texts: both sides compared after their trailing blanks
// are dropped (PAD SPACE), letters compared without case where it folds
// case.
struct ClientCollation {
  unsigned id;  // the collation number the server reports for the column
  bool foldsCase;
};
inline constexpr ClientCollation kClientCollations[] = {
    {8, true},    // latin1_swedish_ci
    {48, true},   // latin1_general_ci
    {47, false},  // latin1_bin
    {33, true},   // utf8mb3_general_ci
    {83, false},  // utf8mb3_bin
    {45, true},   // utf8mb4_general_ci
    {46, false},  // utf8mb4_bin
};
[[nodiscard]] const ClientCollation* clientCollation(unsigned id) noexcept;

// The key as such a collation compares it: without trailing blanks, upper
// case where it folds case. False (and `compared` unspecified) for a text
// with a byte outside printable ASCII.
[[nodiscard]] bool comparedKey(std::string_view key, bool foldsCase, std::string& compared);

// Where the keys of a set statement are matched.
enum class KeyMatching {
  // Column 0 is the lookup table's key column, the further columns those of
  // the per-row statement; the client matches the key as the column's
  // collation would.
  kClient,
  // Column 0 is the key as the main statement reads it, column 1 the
  // lookup table's key column (NULL: the server matched no row), the
  // further columns those of the per-row statement; the server matched.
  kServer,
};

// An answer, not a result: a failed set statement fails no writer, it sends the keys per row.
enum class LoadResult {
  kUsable,       // the table answers
  kFailed,       // the statement failed: every key is asked per row
  kNotOnClient,  // the client cannot match these keys: the server must
};

class LookupTable {
 public:
  // Sends the set statement. With kClient the table is usable only when its
  // key column has a collation of kClientCollations and every key it holds
  // is printable ASCII; with kServer only when both key columns are strings
  // of the same collation (the join then compares as the per-row statement
  // does). Otherwise every key is asked per row.
  LoadResult load(DbSession& session, std::string statement, KeyMatching matching) noexcept;
  [[nodiscard]] bool loaded() const noexcept { return loaded_; }
  [[nodiscard]] bool usable() const noexcept { return usable_; }
  // The answer for a key; with kRow the row holds the per-row columns.
  [[nodiscard]] LookupAnswer find(std::string_view key, Row& row) noexcept;
  // Frees the rows and the hash table.
  void clear() noexcept;
  // The bytes and slots the table holds on to, freed by clear.
  [[nodiscard]] std::size_t held() const noexcept;

 private:
  struct Entry {
    std::uint32_t candidates = 0;
    std::size_t row = 0;
  };
  LoadResult loadClient(Cursor& cursor) noexcept;
  LoadResult loadServer(Cursor& cursor) noexcept;
  bool loaded_ = false;
  bool usable_ = false;
  KeyMatching matching_ = KeyMatching::kServer;
  bool foldsCase_ = false;
  std::unordered_map<std::string, Entry, TextHash, std::equal_to<>> entries_;
  StoredRows rows_;
  StoredRows::Buffer buffer_;
  std::string compared_;
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
  [[nodiscard]] RC open(DbSession& session, Statement statement, Replay& replay) noexcept;
  // As readSingleRow, from the remembered rows.
  template <typename CopyRow>
  [[nodiscard]] RC readFirstRow(DbSession& session, Statement statement, CopyRow&& copy) noexcept {
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
  // Frees the rows and the statements.
  void clear() noexcept;
  [[nodiscard]] std::size_t held() const noexcept;

 private:
  std::unordered_map<std::string, Range> ranges_;
  StoredRows rows_;
};

}  // namespace sstrxv
