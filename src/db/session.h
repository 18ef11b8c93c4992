// The one connection of the run, its reconnection policy, the schema switch
// and the product-version lookup.
#pragma once

#include <mysql.h>

#include <memory>
#include <string_view>

#include "db/runtime.h"
#include "support/text.h"

namespace sstrxv {

struct ConnectionClose {
  void operator()(MYSQL* connection) const noexcept { mysql_close(connection); }
};
using Connection = std::unique_ptr<MYSQL, ConnectionClose>;

struct DbSession {
  Connection connection;     // empty when not connected
  BoundedText host{200};     // NET8; empty: the client library's default host
  BoundedText user{200};     // LOGIN
  BoundedText password{200}; // PASS
};

DbSession& dbSession() noexcept;

inline constexpr std::string_view kDatabaseName = "MVSYSTEM";
inline constexpr std::string_view kProductPattern = "5817-002%";
inline constexpr unsigned long kReconnectPauseMs = 60000;
inline constexpr int kReconnectAttempts = 5;

// Reads the credentials from the settings file and opens the session.
// Returns 0 or the error number of the failed connect.
RC dbConnect() noexcept;
// Opens a fresh connection in manual-commit mode. Returns 0 or the client
// library's error number.
RC dbOpenSession(std::string_view user, std::string_view password, std::string_view host,
                 std::string_view database) noexcept;
// Five attempts with the stored credentials, a minute apart. Returns 1 when
// a connection was re-established, 0 after five failed attempts.
int dbReconnect() noexcept;
// Closes the connection; always 0.
int dbDisconnect() noexcept;
// Sends the schema switch statement; 1 when it ran and delivered a row.
int dbSetSchema(std::string_view schema) noexcept;
// The highest product release matching the LIKE pattern; 0.0 when none.
RC readProductVersion(std::string_view pattern, double& version) noexcept;

}  // namespace sstrxv
