#include "db/runtime.h"

#include <errmsg.h>
#include <mysql.h>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <limits>

#include "db/session.h"
#include "support/env.h"
#include "support/text.h"

namespace sstrxv {
namespace {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 0)))
#endif
Statement
formatStatementV(const char* format, std::va_list args) noexcept {
  std::string text;
  appendFormatV(text, format, args);
  if (text.size() >= kStatementLimit) return std::nullopt;
  return text;
}

// Stores the answer of the statement just sent into the cursor. False when
// the deadline passed: the connection is then shut down and the cursor empty.
bool storeResultUntil(DbSession& session, MYSQL* connection, std::uint64_t deadlineMs, Cursor& cursor) noexcept {
  MYSQL_RES* result = nullptr;
  const bool stored = dbRunUntil(
      session, connection, deadlineMs, [&] { return mysql_store_result_start(&result, connection); },
      [&](int ready) { return mysql_store_result_cont(&result, connection, ready); });
  cursor.resultSet.reset(result);
  if (!stored) cursor.resultSet.reset();
  return stored;
}

}  // namespace

void ResultSetFree::operator()(st_mysql_res* result) const noexcept { mysql_free_result(result); }

int dbWaitForServer(DbSession& session, st_mysql* connection, int status, std::uint64_t deadlineMs,
                    bool& expired) noexcept {
  const int socket = static_cast<int>(mysql_get_socket(connection));
  const int waitedFor = status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT);
  // A shut-down socket is ready at once for everything the call waits for.
  if (expired) return waitedFor;
  short events = 0;
  if ((status & MYSQL_WAIT_READ) != 0) events |= POLLIN;
  if ((status & MYSQL_WAIT_WRITE) != 0) events |= POLLOUT;
  if ((status & MYSQL_WAIT_EXCEPT) != 0) events |= POLLPRI;
  // The library's own timeout (the connect, read and write timeouts) ends
  // the call with its own error when it comes before the deadline.
  const std::uint64_t started = session.env.steadyMilliseconds();
  const std::uint64_t libraryEnd = (status & MYSQL_WAIT_TIMEOUT) != 0 ? started + mysql_get_timeout_value_ms(connection)
                                                                      : std::numeric_limits<std::uint64_t>::max();
  while (socket >= 0) {
    const std::uint64_t now = session.env.steadyMilliseconds();
    if (now >= deadlineMs) break;
    if (now >= libraryEnd) return MYSQL_WAIT_TIMEOUT;
    // Waits of at most a minute each, so the clock is read again.
    const std::uint64_t waitMs = std::min<std::uint64_t>(std::min(deadlineMs, libraryEnd) - now, 60000);
    pollfd descriptor{socket, events, 0};
    const int ready = ::poll(&descriptor, 1, static_cast<int>(waitMs));
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    if (ready < 0) break;
    int flags = 0;
    if ((descriptor.revents & (POLLIN | POLLHUP | POLLERR)) != 0) flags |= MYSQL_WAIT_READ;
    if ((descriptor.revents & (POLLOUT | POLLHUP | POLLERR)) != 0) flags |= MYSQL_WAIT_WRITE;
    if ((descriptor.revents & POLLPRI) != 0) flags |= MYSQL_WAIT_EXCEPT;
    // POLLNVAL and the like: the call finds the error itself.
    return (flags & waitedFor) != 0 ? flags & waitedFor : waitedFor;
  }
  expired = true;
  if (socket >= 0) ::shutdown(socket, SHUT_RDWR);
  return waitedFor;
}

RC dbExecute(DbSession& session, Cursor& cursor, Statement statement) noexcept {
  if (!statement) return RC_STATEMENT_TOO_LONG;
  cursor.statement = std::move(*statement);
  MYSQL* connection = session.connection.get();
  if (connection == nullptr) return CR_SERVER_GONE_ERROR;
  const std::uint64_t deadline = session.env.steadyMilliseconds() + session.options.statementDeadlineMs;
  int failed = 0;
  const bool sent = dbRunUntil(
      session, connection, deadline,
      [&] { return mysql_real_query_start(&failed, connection, cursor.statement.data(), cursor.statement.size()); },
      [&](int ready) { return mysql_real_query_cont(&failed, connection, ready); });
  if (!sent) return CR_SERVER_LOST;
  if (failed != 0) return static_cast<RC>(mysql_errno(connection));
  if (!storeResultUntil(session, connection, deadline, cursor)) return CR_SERVER_LOST;
  if (mysql_errno(connection) != 0) return RC_FAILED;
  cursor.rowsDelivered = 0;
  return RC_OK;
}

RC dbFetch(Cursor& cursor, Row& row) noexcept {
  if (!cursor.resultSet) return RC_FAILED;
  MYSQL_RES* result = cursor.resultSet.get();
  if (static_cast<std::uint64_t>(cursor.rowsDelivered) >= mysql_num_rows(result)) return RC_NO_MORE_ROWS;
  MYSQL_ROW values = mysql_fetch_row(result);
  if (values == nullptr) return RC_FAILED;
  const unsigned long* lengths = mysql_fetch_lengths(result);
  if (lengths == nullptr) return RC_FAILED;
  row = Row(values, lengths, mysql_num_fields(result));
  ++cursor.rowsDelivered;
  return RC_OK;
}

RC dbCloseCursor(Cursor& cursor) noexcept {
  if (!cursor.resultSet) return RC_FAILED;
  cursor.resultSet.reset();
  cursor.rowsDelivered = 0;
  return RC_OK;
}

RC dbRewind(Cursor& cursor) noexcept {
  if (!cursor.resultSet) return RC_FAILED;
  mysql_data_seek(cursor.resultSet.get(), 0);
  cursor.rowsDelivered = 0;
  return RC_OK;
}

RC dbSend(DbSession& session, const Cursor& cursor, std::uint64_t deadlineMs) noexcept {
  MYSQL* connection = session.connection.get();
  if (connection == nullptr) return CR_SERVER_GONE_ERROR;
  int failed = 0;
  const bool sent = dbRunUntil(
      session, connection, deadlineMs,
      [&] { return mysql_send_query_start(&failed, connection, cursor.statement.data(), cursor.statement.size()); },
      [&](int ready) { return mysql_send_query_cont(&failed, connection, ready); });
  if (!sent) return CR_SERVER_LOST;
  if (failed != 0) return static_cast<RC>(mysql_errno(connection));
  return RC_OK;
}

RC dbReadResult(DbSession& session, Cursor& cursor, std::uint64_t deadlineMs) noexcept {
  cursor.resultSet.reset();
  cursor.rowsDelivered = 0;
  MYSQL* connection = session.connection.get();
  if (connection == nullptr) return CR_SERVER_GONE_ERROR;
  my_bool failed = 0;
  if (!dbRunUntil(
          session, connection, deadlineMs, [&] { return mysql_read_query_result_start(&failed, connection); },
          [&](int ready) { return mysql_read_query_result_cont(&failed, connection, ready); })) {
    return CR_SERVER_LOST;
  }
  if (failed != 0) return static_cast<RC>(mysql_errno(connection));
  if (!storeResultUntil(session, connection, deadlineMs, cursor)) return CR_SERVER_LOST;
  // The error number of an earlier failed statement of the batch stays
  // until the next send: a statement with columns but no stored rows is
  // the failure to store them.
  if (!cursor.resultSet && mysql_field_count(connection) != 0) return RC_FAILED;
  return RC_OK;
}

void dbExecutePipelined(DbSession& session, std::span<PipelinedStatement> batch) noexcept {
  std::size_t next = 0;
  while (next < batch.size()) {
    std::size_t end = next;
    std::size_t bytes = 0;
    RC sent = RC_OK;
    // Each part has the deadline of one statement, from its first send to its last row.
    const std::uint64_t deadline = session.env.steadyMilliseconds() + session.options.statementDeadlineMs;
    while (end < batch.size() && (end == next || (end - next < kPipelineStatements &&
                                                  bytes + batch[end].cursor.statement.size() <= kPipelineBytes))) {
      bytes += batch[end].cursor.statement.size();
      sent = dbSend(session, batch[end].cursor, deadline);
      if (sent != RC_OK) break;
      ++end;
    }
    for (std::size_t i = next; i < end; ++i) batch[i].rc = dbReadResult(session, batch[i].cursor, deadline);
    if (sent != RC_OK) {
      for (std::size_t i = end; i < batch.size(); ++i) batch[i].rc = sent;
      return;
    }
    next = end;
  }
}

Statement formatStatement(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  Statement text = formatStatementV(format, args);
  va_end(args);
  return text;
}

RC openCursor(DbSession& session, Cursor& cursor, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  Statement text = formatStatementV(format, args);
  va_end(args);
  return dbExecute(session, cursor, std::move(text));
}

std::string sqlValue(DbSession& session, std::string_view value) {
  if (value.find_first_of(std::string_view("'\\\"\0\n\r\x1a", 7)) == std::string_view::npos) {
    return std::string(value);
  }
  std::string escaped(value.size() * 2 + 1, '\0');
  MYSQL* connection = session.connection.get();
  unsigned long length = 0;
  if (connection != nullptr) {
    length = mysql_real_escape_string(connection, escaped.data(), value.data(), value.size());
  } else {
    length = mysql_escape_string(escaped.data(), value.data(), value.size());
  }
  escaped.resize(length);
  return escaped;
}

bool isPlainIdentifier(std::string_view name) noexcept {
  if (name.empty() || name.size() > 20) return false;
  for (const char c : name) {
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    if (!plain) return false;
  }
  return true;
}

}  // namespace sstrxv
