// Statements and cursors over the one connection: every result set is
// stored whole on the client, so several cursors can be open at once.
#pragma once

#include <errmsg.h>
#include <mysql.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sstrxv {

// The result of every database operation: 0 success, 1032 no more rows,
// -1 no result set (or storing or fetching a result failed), any other
// value the server's or client library's error number.
using RC = long;
inline constexpr RC RC_OK = 0;
inline constexpr RC RC_NO_MORE_ROWS = 1032;
inline constexpr RC RC_FAILED = -1;

// Statements of this length or more are never sent: the process ends.
inline constexpr std::size_t kStatementLimit = 2000;

struct ResultSetFree {
  void operator()(MYSQL_RES* result) const noexcept { mysql_free_result(result); }
};
using ResultSet = std::unique_ptr<MYSQL_RES, ResultSetFree>;

// The current row's column values: zero-terminated texts, nullptr for NULL.
// Valid until the next fetch or close on the same cursor.
class Row {
 public:
  Row() = default;
  Row(MYSQL_ROW values, unsigned count) noexcept : values_(values), count_(count) {}
  [[nodiscard]] const char* operator[](unsigned column) const noexcept {
    return column < count_ ? values_[column] : nullptr;
  }
  [[nodiscard]] unsigned size() const noexcept { return count_; }

 private:
  MYSQL_ROW values_ = nullptr;
  unsigned count_ = 0;
};

struct Cursor {
  std::string_view statement;    // set by the caller before dbExecute
  ResultSet resultSet;           // empty when closed
  std::uint32_t rowsDelivered = 0;
};

RC dbExecute(Cursor& cursor) noexcept;
RC dbFetch(Cursor& cursor, Row& row) noexcept;
RC dbCloseCursor(Cursor& cursor) noexcept;

// The shared statement text. formatStatement fills it from a printf format;
// a statement that does not stay below kStatementLimit ends the process
// with exit code 1, without a message.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
const std::string& formatStatement(const char* format, ...) noexcept;
const std::string& statementText() noexcept;

// A key value made safe for a place between single quotes of a statement:
// quote, backslash and the other special bytes are escaped by the client
// library for the open connection. Plain values come back unchanged.
std::string sqlValue(std::string_view value);

// True for a schema name that may be written into a statement unquoted:
// 1 to 20 letters, digits, "_" and "$".
bool isPlainIdentifier(std::string_view name) noexcept;

// The cursor shared by all single-row lookups.
Cursor& lookupCursor() noexcept;

// Runs the statement in statementText on the lookup cursor, fetches one row
// and hands it to copy when there is one. Returns the statement's RC when
// it fails, else the fetch's RC (0 with a row, 1032 without).
template <typename CopyRow>
RC readSingleRow(CopyRow&& copy) noexcept {
  Cursor& cursor = lookupCursor();
  cursor.statement = statementText();
  const RC executed = dbExecute(cursor);
  if (executed != RC_OK) return executed;
  Row row;
  const RC fetched = dbFetch(cursor, row);
  if (fetched == RC_OK) copy(row);
  dbCloseCursor(cursor);
  return fetched;
}

// Formats a statement into statementText and runs it on the cursor.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
RC openCursor(Cursor& cursor, const char* format, ...) noexcept;

}  // namespace sstrxv
