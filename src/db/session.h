// The one connection of the run, its reconnection policy, the schema switch
// and the product-version lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/runtime.h"
#include "support/credentials.h"
#include "support/text.h"

struct st_mysql;  // the client library's connection handle

namespace sstrxv {

class Env;

struct ConnectionClose {
  void operator()(st_mysql* connection) const noexcept;
};
using Connection = std::unique_ptr<st_mysql, ConnectionClose>;

// How long the client library waits for the server. A connect that gets
// no answer, or a statement whose answer stalls, fails with the library's
// error number like a lost connection, and the reconnection policy takes
// over: no run waits for ever. Over all of its waits, a connection attempt
// (greeting and login included) and a statement (from sending it to its
// last row) have a deadline each, so a peer that trickles its bytes cannot
// stretch them either: past it the connection is shut down and the attempt
// or statement fails with CR_SERVER_LOST (2013). Tests shorten the waits
// and name the port.
struct ConnectionOptions {
  unsigned connectTimeoutSeconds = 30;  // the connection and the server's greeting
  unsigned readTimeoutSeconds = 600;    // each wait for a part of an answer
  unsigned writeTimeoutSeconds = 600;   // each wait to send a part of a statement
  unsigned port = 0;                    // 0: the client library's default port

  // The deadlines of a whole connection attempt and of a whole statement.
  std::uint64_t connectDeadlineMs = 30 * 1000;
  std::uint64_t statementDeadlineMs = 600 * 1000;
};

// The only login methods the connection accepts: neither ever shows the
// password to the peer on an unencrypted connection. A server (or anyone
// answering at its address) that asks for another one, such as
// mysql_clear_password, gets no password and the attempt fails like a
// refused login.
inline constexpr const char* kAcceptedLoginMethods = "mysql_native_password,caching_sha2_password";

// The session of one run: created by the driver and passed to everything
// that talks to the database. It carries the run's environment, in which
// it logs and pauses between reconnection attempts.
struct DbSession {
  explicit DbSession(Env& environment) noexcept : env(environment) {}

  Env& env;
  ConnectionOptions options;
  Connection connection;      // empty when not connected
  BoundedText host{200};      // NET8; empty: the client library's default host
  BoundedText user{200};      // LOGIN
  BoundedText password{200};  // PASS
  std::string connectError;   // the client library's text of the last failed connect
};

inline constexpr std::string_view kDatabaseName = "MVSYSTEM";
inline constexpr std::string_view kProductPattern = "5817-002%";
inline constexpr unsigned long kReconnectPauseMs = 60000;
inline constexpr int kReconnectAttempts = 5;
// The result of opening a session without a user name: no connection is tried.
inline constexpr RC RC_NO_USER = RC_FAILED;

// Opens the session with these credentials, which it keeps for its
// reconnections (each value cut to 200 bytes, as the settings give them).
// Returns 0 or the error number of the failed connect (logged).
[[nodiscard]] RC dbConnect(DbSession& session, const Credentials& credentials) noexcept;
// Opens a fresh connection in manual-commit mode. Returns 0 or the client
// library's error number; RC_NO_USER without trying when the user is empty
// (an empty password is allowed).
[[nodiscard]] RC dbOpenSession(DbSession& session, std::string_view user, std::string_view password,
                               std::string_view host, std::string_view database) noexcept;
// Five attempts with the stored credentials, a minute apart. Returns true
// when a connection was re-established, false after five failed attempts.
// A yes or no, not an RC: each failed attempt has logged its own RC.
[[nodiscard]] bool dbReconnect(DbSession& session) noexcept;
// Closes the connection.
void dbDisconnect(DbSession& session) noexcept;
// Schema switch statements of this length or more are never sent.
inline constexpr std::size_t kSchemaStatementLimit = 200;
// Sends the schema switch statement. Returns RC_STATEMENT_TOO_LONG for a
// statement of kSchemaStatementLimit or more (not sent), else the RC of the
// statement or of its fetch (0 when it delivered a row). Callers go on
// after any other failure: the statements name the schema themselves.
[[nodiscard]] RC dbSetSchema(DbSession& session, std::string_view schema) noexcept;
// The highest product release matching the LIKE pattern; 0.0 when none.
[[nodiscard]] RC readProductVersion(DbSession& session, std::string_view pattern, double& version) noexcept;

}  // namespace sstrxv
