#include "db/runtime.h"

#include <errmsg.h>
#include <mysql.h>

#include <cstdarg>

#include "db/session.h"
#include "support/text.h"

namespace sstrxv {
namespace {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 0)))
#endif
std::optional<std::string>
formatStatementV(const char* format, std::va_list args) noexcept {
  std::string text;
  appendFormatV(text, format, args);
  if (text.size() >= kStatementLimit) return std::nullopt;
  return text;
}

}  // namespace

void ResultSetFree::operator()(st_mysql_res* result) const noexcept { mysql_free_result(result); }

RC dbExecute(DbSession& session, Cursor& cursor, std::string statement) noexcept {
  cursor.statement = std::move(statement);
  MYSQL* connection = session.connection.get();
  if (connection == nullptr) return CR_SERVER_GONE_ERROR;
  if (mysql_real_query(connection, cursor.statement.data(), cursor.statement.size()) != 0) {
    return static_cast<RC>(mysql_errno(connection));
  }
  cursor.resultSet.reset(mysql_store_result(connection));
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

RC dbSend(DbSession& session, const Cursor& cursor) noexcept {
  MYSQL* connection = session.connection.get();
  if (connection == nullptr) return CR_SERVER_GONE_ERROR;
  if (mysql_send_query(connection, cursor.statement.data(), cursor.statement.size()) != 0) {
    return static_cast<RC>(mysql_errno(connection));
  }
  return RC_OK;
}

RC dbReadResult(DbSession& session, Cursor& cursor) noexcept {
  cursor.resultSet.reset();
  cursor.rowsDelivered = 0;
  MYSQL* connection = session.connection.get();
  if (connection == nullptr) return CR_SERVER_GONE_ERROR;
  if (mysql_read_query_result(connection) != 0) return static_cast<RC>(mysql_errno(connection));
  cursor.resultSet.reset(mysql_store_result(connection));
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
    while (end < batch.size() && (end == next || (end - next < kPipelineStatements &&
                                                  bytes + batch[end].cursor.statement.size() <= kPipelineBytes))) {
      bytes += batch[end].cursor.statement.size();
      sent = dbSend(session, batch[end].cursor);
      if (sent != RC_OK) break;
      ++end;
    }
    for (std::size_t i = next; i < end; ++i) batch[i].rc = dbReadResult(session, batch[i].cursor);
    if (sent != RC_OK) {
      for (std::size_t i = end; i < batch.size(); ++i) batch[i].rc = sent;
      return;
    }
    next = end;
  }
}

std::optional<std::string> formatStatement(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  std::optional<std::string> text = formatStatementV(format, args);
  va_end(args);
  return text;
}

RC openCursor(DbSession& session, Cursor& cursor, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  std::optional<std::string> text = formatStatementV(format, args);
  va_end(args);
  if (!text) return RC_STATEMENT_TOO_LONG;
  return dbExecute(session, cursor, std::move(*text));
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
