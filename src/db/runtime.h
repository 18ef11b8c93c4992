// Statements and cursors over the one connection: every result set is
// stored whole on the client, so several cursors can be open at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct st_mysql;      // the client library's connection handle
struct st_mysql_res;  // the client library's stored result set

namespace sstrxv {

struct DbSession;

// The result of every database operation: 0 success, 1032 no more rows,
// -1 no result set (or storing or fetching a result failed), any other
// value the server's or client library's error number.
using RC = long;
inline constexpr RC RC_OK = 0;
inline constexpr RC RC_NO_MORE_ROWS = 1032;
inline constexpr RC RC_FAILED = -1;

// Statements of this length or more are never sent. The operation that
// would have sent one returns RC_STATEMENT_TOO_LONG instead, and the run
// ends at once with exit code 1: nothing is logged, written or sent after
// it, so every caller hands this RC on unchanged.
inline constexpr std::size_t kStatementLimit = 2000;
inline constexpr RC RC_STATEMENT_TOO_LONG = -2;

// A statement as it is handed to the operations that run it: its text, or
// none when the formatter refused it (it would reach its limit). Every
// such operation returns RC_STATEMENT_TOO_LONG for a statement without
// text, without sending anything; dbExecute is the one place that decides so.
using Statement = std::optional<std::string>;

struct ResultSetFree {
  void operator()(st_mysql_res* result) const noexcept;
};
using ResultSet = std::unique_ptr<st_mysql_res, ResultSetFree>;

// One column value of a fetched row: its bytes with their length (a value
// may hold any byte, NUL included), or NULL.
class Value {
 public:
  constexpr Value() noexcept = default;  // SQL NULL
  constexpr Value(const char* data, std::size_t size) noexcept : data_(data), size_(size) {}

  [[nodiscard]] constexpr bool isNull() const noexcept { return data_ == nullptr; }
  constexpr explicit operator bool() const noexcept { return data_ != nullptr; }
  // The bytes; empty for NULL.
  [[nodiscard]] constexpr std::string_view view() const noexcept {
    return data_ != nullptr ? std::string_view(data_, size_) : std::string_view();
  }

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

// The current row's column values. Valid until the next fetch or close on
// the same cursor.
class Row {
 public:
  Row() = default;
  Row(char** values, const unsigned long* lengths, unsigned count) noexcept
      : values_(values), lengths_(lengths), count_(count) {}
  [[nodiscard]] Value operator[](unsigned column) const noexcept {
    if (column >= count_ || values_[column] == nullptr) return {};
    return {values_[column], static_cast<std::size_t>(lengths_[column])};
  }
  [[nodiscard]] unsigned size() const noexcept { return count_; }

 private:
  char** values_ = nullptr;
  const unsigned long* lengths_ = nullptr;
  unsigned count_ = 0;
};

// A cursor owns the statement it last ran and that statement's stored rows.
struct Cursor {
  std::string statement;
  ResultSet resultSet;  // empty when closed
  std::uint32_t rowsDelivered = 0;
};

// The one place where the program waits for the server. The connection
// runs the client library's calls without blocking; each call returns what
// it waits for (status: the library's MYSQL_WAIT_* flags), and this waits
// until the connection's socket is ready for it, or until deadlineMs on the
// run's steady clock (Env::steadyMilliseconds). Returns the flags to resume
// the call with. At the deadline it shuts the socket down, so that the call
// ends at once like a lost connection, and sets expired.
[[nodiscard]] int dbWaitForServer(DbSession& session, st_mysql* connection, int status, std::uint64_t deadlineMs,
                                  bool& expired) noexcept;

// Runs one non-blocking call of the client library to its end: start()
// begins it and resume(flags) goes on with it, each returning the flags it
// waits for, 0 when the call is done. False when the deadline passed: the
// call has then failed and the connection is shut down.
template <typename Start, typename Resume>
[[nodiscard]] bool dbRunUntil(DbSession& session, st_mysql* connection, std::uint64_t deadlineMs, Start&& start,
                              Resume&& resume) noexcept {
  bool expired = false;
  // Once the socket is shut down, every read and write of the call fails at
  // once; the bound only guards against a call that would not give up.
  constexpr int kResumesAfterShutdown = 1000;
  int resumesLeft = kResumesAfterShutdown;
  for (int status = start(); status != 0 && resumesLeft > 0;) {
    status = resume(dbWaitForServer(session, connection, status, deadlineMs, expired));
    if (expired) --resumesLeft;
  }
  return !expired;
}

// Sends the statement, keeps it in the cursor and stores its result set.
// From sending it to its last row it has ConnectionOptions::statementDeadlineMs;
// past it, it fails with CR_SERVER_LOST (2013) on a connection shut down.
// RC_STATEMENT_TOO_LONG for a statement without text: nothing is sent and
// the cursor stays as it was.
[[nodiscard]] RC dbExecute(DbSession& session, Cursor& cursor, Statement statement) noexcept;
[[nodiscard]] RC dbFetch(Cursor& cursor, Row& row) noexcept;
// 0, or -1 for a cursor without result set; callers as a rule ignore it.
RC dbCloseCursor(Cursor& cursor) noexcept;
// Back to the first stored row: the next fetch delivers it again.
RC dbRewind(Cursor& cursor) noexcept;

// Pipelined statements: several go out before the first answer is read,
// so that a batch costs one round trip to the server instead of one per
// statement. The answers come back in the order sent, each stored whole
// into its own cursor: every cursor holds exactly the rows its statement
// gives when sent alone, and its RC is the one dbExecute would return.
// A failed statement does not end the batch: every answer sent is read
// (one left unread would be taken for the next statement's), and the
// caller decides which failure counts.
struct PipelinedStatement {
  Cursor cursor;  // cursor.statement: the text to send
  RC rc = RC_FAILED;
};
// At most this many statements and bytes of statement text are out before
// their answers are read. A server whose answers are not read stops
// reading statements; what is out must therefore fit into the socket
// buffers between client and server (about 200 KiB on a local socket,
// each packet counted with some hundred bytes of overhead; the TCP window
// at least 64 KiB), or sending would wait for a server that waits for its
// answers to be read, until a timeout ends the connection. Each statement
// is a packet of its own, below kStatementLimit, far below the server's
// packet limit.
inline constexpr std::size_t kPipelineStatements = 64;
inline constexpr std::size_t kPipelineBytes = 32 * 1024;
// Sends the cursor's statement without waiting for its answer.
[[nodiscard]] RC dbSend(DbSession& session, const Cursor& cursor, std::uint64_t deadlineMs) noexcept;
// Reads the answer of the oldest statement sent and not yet read and
// stores its result set into the cursor, as dbExecute does. Both fail with
// CR_SERVER_LOST on a connection shut down at deadlineMs (steady clock).
[[nodiscard]] RC dbReadResult(DbSession& session, Cursor& cursor, std::uint64_t deadlineMs) noexcept;
// Runs every statement of the batch in order, in parts of at most
// kPipelineStatements and kPipelineBytes (a longer statement alone). A
// statement that could not be sent gets the failure of its send, and so
// does every statement after it.
void dbExecutePipelined(DbSession& session, std::span<PipelinedStatement> batch) noexcept;

// The one formatter of statement texts; no text when the statement would
// not stay below kStatementLimit.
[[nodiscard]]
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
Statement
formatStatement(const char* format, ...) noexcept;

// Formats a statement and runs it on the cursor; RC_STATEMENT_TOO_LONG,
// without sending anything, when it would reach kStatementLimit.
[[nodiscard]]
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
RC openCursor(DbSession& session, Cursor& cursor, const char* format, ...) noexcept;

// A key value made safe for a place between single quotes of a statement:
// quote, backslash, NUL and the other special bytes are escaped by the
// client library for the open connection. Plain values come back unchanged.
[[nodiscard]] std::string sqlValue(DbSession& session, std::string_view value);

// True for a schema name that may be written into a statement unquoted:
// 1 to 20 letters, digits, "_" and "$".
[[nodiscard]] bool isPlainIdentifier(std::string_view name) noexcept;

// A single-row lookup: runs the statement on a lookup cursor of its own,
// fetches one row and hands it to copy when there is one. Returns the
// statement's RC when it fails (RC_STATEMENT_TOO_LONG for one without
// text, which is not sent), else the fetch's RC (0 with a row, 1032
// without).
template <typename CopyRow>
[[nodiscard]] RC readSingleRow(DbSession& session, Statement statement, CopyRow&& copy) noexcept {
  Cursor lookup;
  const RC executed = dbExecute(session, lookup, std::move(statement));
  if (executed != RC_OK) return executed;
  Row row;
  const RC fetched = dbFetch(lookup, row);
  if (fetched == RC_OK) copy(row);
  dbCloseCursor(lookup);
  return fetched;
}

}  // namespace sstrxv
