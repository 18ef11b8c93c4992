#include "db/session.h"

#include <errmsg.h>
#include <mysql.h>

#include <string>

#include "support/env.h"
#include "support/log.h"

namespace sstrxv {
namespace {

// A key file that is always there and always empty.
constexpr const char* kNoServerKey = "/dev/null";

}  // namespace

void ConnectionClose::operator()(st_mysql* connection) const noexcept {
  // The client library does not free the key file's name when it closes.
  mysql_options(connection, MYSQL_SERVER_PUBLIC_KEY, nullptr);
  mysql_close(connection);
}

RC dbConnect(DbSession& session, const Credentials& credentials) noexcept {
  session.host.assign(credentials.host);
  session.user.assign(credentials.user);
  session.password.assign(credentials.password);
  const RC rc =
      dbOpenSession(session, session.user.view(), session.password.view(), session.host.view(), kDatabaseName);
  if (rc != RC_OK) logMessage(session.env, "Datenbankverbindung fehlgeschlagen, Fehler: %d", static_cast<int>(rc));
  return rc;
}

RC dbOpenSession(DbSession& session, std::string_view user, std::string_view password, std::string_view host,
                 std::string_view database) noexcept {
  session.connection.reset();  // a reconnection never leaves the old connection open
  // Given an empty user, the client library would log in as the account the
  // program runs as: that must never happen.
  if (user.empty()) return RC_NO_USER;
  Connection connection(mysql_init(nullptr));
  if (!connection) return CR_OUT_OF_MEMORY;
  // Key values are sent as Windows-1252 (latin1) text, and values reach the
  // files byte for byte as stored: the server sends results without any
  // character-set conversion.
  mysql_options(connection.get(), MYSQL_SET_CHARSET_NAME, "latin1");
  mysql_options(connection.get(), MYSQL_INIT_COMMAND, "SET character_set_results = NULL");
  const ConnectionOptions& options = session.options;
  mysql_options(connection.get(), MYSQL_OPT_CONNECT_TIMEOUT, &options.connectTimeoutSeconds);
  mysql_options(connection.get(), MYSQL_OPT_READ_TIMEOUT, &options.readTimeoutSeconds);
  mysql_options(connection.get(), MYSQL_OPT_WRITE_TIMEOUT, &options.writeTimeoutSeconds);
  // Only the login methods that never show the password. caching_sha2_password
  // logs in with a hash when the server has the account cached; its full
  // login would encrypt the password with a public key that the peer itself
  // sends, so that peer could decrypt it: given an empty key instead, that
  // login fails. Without these options, and the non-blocking calls that the
  // deadlines rest on, no connection is tried.
  if (mysql_optionsv(connection.get(), MARIADB_OPT_RESTRICTED_AUTH, kAcceptedLoginMethods) != 0 ||
      mysql_options(connection.get(), MYSQL_SERVER_PUBLIC_KEY, kNoServerKey) != 0 ||
      mysql_options(connection.get(), MYSQL_OPT_NONBLOCK, nullptr) != 0) {
    return CR_UNKNOWN_ERROR;
  }
  const std::string hostText(host);
  const std::string userText(user);
  const std::string passwordText(password);
  const std::string databaseText(database);
  MYSQL* handle = connection.get();
  MYSQL* connected = nullptr;
  const std::uint64_t deadline = session.env.steadyMilliseconds() + options.connectDeadlineMs;
  const bool inTime = dbRunUntil(
      session, handle, deadline,
      [&] {
        return mysql_real_connect_start(&connected, handle, hostText.empty() ? nullptr : hostText.c_str(),
                                        userText.c_str(), passwordText.c_str(), databaseText.c_str(), options.port,
                                        nullptr, 0);
      },
      [&](int ready) { return mysql_real_connect_cont(&connected, handle, ready); });
  if (!inTime) return CR_SERVER_LOST;
  if (connected == nullptr) {
    session.connectError = mysql_error(handle);
    return static_cast<RC>(mysql_errno(handle));
  }
  session.connection = std::move(connection);
  Cursor cursor;
  // a failure leaves the server's default commit mode
  static_cast<void>(dbExecute(session, cursor, "SET AUTOCOMMIT = 0"));
  return RC_OK;
}

bool dbReconnect(DbSession& session) noexcept {
  for (long attempt = 1; attempt <= kReconnectAttempts; ++attempt) {
    dbDisconnect(session);
    logMessage(session.env, "%ld. Versuch zur Wiederherstellung der Datenbankverbindung!", attempt);
    const RC rc =
        dbOpenSession(session, session.user.view(), session.password.view(), session.host.view(), kDatabaseName);
    if (rc == RC_OK) {
      session.env.writeLog("Die Verbindung zur Datenbank wurde wiederhergestellt!");
      return true;
    }
    logMessage(session.env, "Fehler dbConnect(dbReconnect)! RC: %ld Versuch-Nr.: %ld", rc, attempt);
    session.env.pauseMilliseconds(kReconnectPauseMs);
  }
  return false;
}

void dbDisconnect(DbSession& session) noexcept { session.connection.reset(); }

RC dbSetSchema(DbSession& session, std::string_view schema) noexcept {
  Statement statement =
      formatText("ALTER SESSION SET CURRENT_SCHEMA=%.*s", static_cast<int>(schema.size()), schema.data());
  if (statement->size() >= kSchemaStatementLimit) statement.reset();  // not sent: RC_STATEMENT_TOO_LONG
  Cursor cursor;
  if (const RC executed = dbExecute(session, cursor, std::move(statement)); executed != RC_OK) return executed;
  Row row;
  const RC fetched = dbFetch(cursor, row);
  dbCloseCursor(cursor);
  return fetched;
}

RC readProductVersion(DbSession& session, std::string_view pattern, double& version) noexcept {
  version = 0.0;
  return readSingleRow(
      session,
      formatStatement("SELECT MAX(COALESCE(LIZVER, '00.00')) FROM   MVSYSTEM.MVS110LIZ WHERE  LIZPRD LIKE '%s'",
                      sqlValue(session, pattern).c_str()),
      [&](const Row& row) {
        if (row[0].isNull()) return;
        std::string text(row[0].view());
        version = leadingNumber(trimRight(text));
      });
}

}  // namespace sstrxv
