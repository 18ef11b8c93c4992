// Peers at the database address that are not the server they claim to be,
// or that answer too slowly: a fake server on loopback that asks for
// another login method, and a proxy in front of the private test server
// that trickles its answers.
#include <errmsg.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "common/test_env.h"
#include "db/runtime.h"
#include "db/session.h"
#include "driver/driver.h"

using namespace sstrxv;
using namespace sstrxv::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kPeerLifetime = std::chrono::seconds(60);  // no peer thread outlives this

// A listener on 127.0.0.1 (an ephemeral port) whose thread hands each
// accepted connection to serve, one after the other, until finish() or the
// end of its lifetime. Every read of a connection waits two seconds at most.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(std::function<void(int)> serve)
      : thread_([this, serve = std::move(serve)] {
          for (const auto end = Clock::now() + kPeerLifetime; !stop_ && Clock::now() < end;) {
            pollfd entry{listener_.socket(), POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0) continue;
            const int client = ::accept(listener_.socket(), nullptr, nullptr);
            const timeval limit{2, 0};
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            ++connections;
            serve(client);
            ::close(client);
          }
        }) {}
  ~LoopbackPeer() { finish(); }
  // Serves the connection in hand, then stops.
  void finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  unsigned port() const { return listener_.port(); }
  std::atomic<int> connections{0};

 private:
  LoopbackListener listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool sendAll(int socket, const std::string& bytes) {
  return ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Sends one packet of the client/server protocol: length, sequence number, body.
bool sendPacket(int socket, unsigned char sequence, const std::string& body) {
  const char header[] = {static_cast<char>(body.size()), 0, 0, static_cast<char>(sequence)};
  return sendAll(socket, std::string(header, 4) + body);
}

// Reads one packet of the client and appends it to received.
bool readPacket(int socket, std::string& received) {
  unsigned char header[4];
  if (::recv(socket, header, 4, MSG_WAITALL) != 4) return false;
  std::string body(std::size_t{header[0]} | std::size_t{header[1]} << 8 | std::size_t{header[2]} << 16, '\0');
  if (::recv(socket, body.data(), body.size(), MSG_WAITALL) != static_cast<ssize_t>(body.size())) return false;
  received += std::string(reinterpret_cast<const char*>(header), 4) + body;
  return true;
}

// A server's greeting naming its login method: protocol 10, a version, the
// connection id, the seed in two parts around the capabilities (4.1
// protocol, secure and plugin login), latin1 and the status.
std::string greeting(const std::string& plugin) {
  return std::string("\n5.7.99-peer\0\x01\0\0\0abcdefgh\0\x0d\xa2\x08\x02\0\n\0\x15\0\0\0\0\0\0\0\0\0\0ijklmnopqrst\0",
                     57) +
         plugin + '\0';
}

// A fake server's login: the greeting names one method, the server may ask
// to switch to another and may then send a further request; it then
// accepts the login and answers every statement with OK.
struct LoginScript {
  const char* greetingPlugin;
  const char* switchTo;    // "" none
  std::string switchData;  // what the server sends with the switch
  std::string afterReply;  // "" none; "\x01\x03" (fast login done) has no answer
};

// After peer.finish(), received and loginPackets hold.
struct FakeServer {
  explicit FakeServer(LoginScript login) : script(std::move(login)), peer([this](int client) { serve(client); }) {}
  void serve(int client) {
    const std::string ok("\0\0\0\x02\0\0\0", 7);
    unsigned char sequence = 2;
    bool going = sendPacket(client, 0, greeting(script.greetingPlugin)) && readPacket(client, received);
    loginPackets += going ? 1 : 0;
    if (going && *script.switchTo != '\0') {
      going = sendPacket(client, sequence, "\xfe" + std::string(script.switchTo) + '\0' + script.switchData) &&
              readPacket(client, received);
      loginPackets += going ? 1 : 0;
      sequence += 2;
    }
    if (going && !script.afterReply.empty()) {
      const bool answered = script.afterReply != "\x01\x03";
      going = sendPacket(client, sequence, script.afterReply) && (!answered || readPacket(client, received));
      loginPackets += going && answered ? 1 : 0;
      sequence = static_cast<unsigned char>(sequence + (answered ? 2 : 1));
    }
    if (!going) return;
    std::string command;
    going = sendPacket(client, sequence, ok);
    while (going && readPacket(client, command) && command[4] != '\x01') {  // until COM_QUIT
      going = sendPacket(client, 1, ok);
      received += command;
      command.clear();
    }
  }

  LoginScript script;
  std::string received;  // every byte the clients sent
  int loginPackets = 0;  // the packets the clients sent while logging in
  LoopbackPeer peer;     // last: its thread uses the members above
};

}  // namespace

// The client answers only login methods that never show the password: a
// peer that asks for another one gets neither the password nor any other
// answer, and the login fails. The methods that work log in.
TEST(PeerTest, OnlyLoginMethodsThatHideThePasswordAreAnswered) {
  const std::string seed = std::string("abcdefghijklmnopqrst") + '\0';
  struct Case {
    const char* name;
    LoginScript script;
    bool connected;
    int loginPackets;  // what the client sent while logging in
  };
  const Case cases[] = {
      {"native password", {"mysql_native_password", "", "", ""}, true, 1},
      {"caching_sha2_password from the cache", {"caching_sha2_password", "", "", "\x01\x03"}, true, 1},
      {"switch to caching_sha2_password",
       {"mysql_native_password", "caching_sha2_password", seed, "\x01\x03"},
       true,
       2},
      {"switch to clear text", {"mysql_native_password", "mysql_clear_password", seed, ""}, false, 1},
      {"clear text in the greeting", {"mysql_clear_password", "", "", ""}, false, 0},
      {"switch to the dialog", {"mysql_native_password", "dialog", "\x04Password: ", ""}, false, 1},
      // The full login would encrypt the password with a key the peer sends.
      {"full caching_sha2_password login", {"caching_sha2_password", "", "", "\x01\x04"}, false, 1},
  };
  for (const Case& c : cases) {
    FakeServer server(c.script);
    ObservedEnv env;
    DbSession session(env);
    session.options.port = server.peer.port();
    const RC rc = dbOpenSession(session, kProgramUser, kProgramPassword, "127.0.0.1", kDatabaseName);
    EXPECT_EQ(rc == RC_OK, c.connected) << c.name << ": " << rc;
    dbDisconnect(session);
    server.peer.finish();
    EXPECT_EQ(server.loginPackets, c.loginPackets) << c.name;
    EXPECT_EQ(server.received.find(kProgramPassword), std::string::npos) << c.name;
  }
}

// A refused login method fails the run like a refused login: the failed
// connection is logged, the reconnection attempts follow, exit code 99.
TEST(PeerTest, RefusedLoginMethodEndsTheRunLikeARefusedLogin) {
  FakeServer server({"mysql_native_password", "mysql_clear_password", "", ""});
  InstallLayout layout;
  layout.writeSettings("127.0.0.1", kProgramUser, kProgramPassword);
  ObservedEnv env;
  layout.configure(env);
  int pauses = 0;
  env.onPause = [&](unsigned long) { ++pauses; };
  const std::string path = (layout.outDir() / "kst.imp").string();
  const char* argv[] = {"SSTRXV", path.c_str(), "KST"};
  EXPECT_EQ(sstrxv::runProgram(3, argv, env, ConnectionOptions{.port = server.peer.port()}), 99);
  server.peer.finish();
  EXPECT_EQ(pauses, kReconnectAttempts);
  EXPECT_EQ(server.peer.connections, kReconnectAttempts + 1);
  const auto log = layout.logMessages();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(log.front().starts_with("Datenbankverbindung fehlgeschlagen, Fehler: "));
  EXPECT_EQ(server.received.find(kProgramPassword), std::string::npos);
}

namespace {

// A clock that runs `speed` times as fast as the real one from the moment
// the speed is set; pauses are not waited for.
class FastClockEnv : public ObservedEnv {
 public:
  std::uint64_t steadyMilliseconds() noexcept override {
    const std::lock_guard guard(lock_);
    const std::uint64_t real = Env::steadyMilliseconds();
    if (last_ == 0) last_ = real;
    now_ += (real - last_) * speed;
    last_ = real;
    return now_;
  }
  std::atomic<std::uint64_t> speed{1};

 private:
  std::mutex lock_;
  std::uint64_t last_ = 0;
  std::uint64_t now_ = 0;
};

// A proxy from loopback to the private test server's socket. While
// trickle is set, the server's bytes go on one per millisecond.
class TricklingProxy {
 public:
  TricklingProxy()
      : peer_([this](int client) {
          const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
          sockaddr_un address{};
          address.sun_family = AF_UNIX;
          std::snprintf(address.sun_path, sizeof address.sun_path, "%s", std::getenv("MYSQL_UNIX_PORT"));
          if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) relay(client, server);
          ::close(server);
        }) {}
  unsigned port() const { return peer_.port(); }
  std::atomic<bool> trickle{false};

 private:
  // Relays both ways until either side closes, at most the peer's lifetime.
  void relay(int client, int server) {
    std::string toClient;
    char chunk[4096];
    for (const auto end = Clock::now() + kPeerLifetime; Clock::now() < end;) {
      pollfd entries[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(entries, 2, 1) < 0) return;
      if (entries[0].revents != 0) {
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0 || !sendAll(server, std::string(chunk, static_cast<std::size_t>(n)))) return;
      }
      if (entries[1].revents != 0) {
        const ssize_t n = ::recv(server, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        toClient.append(chunk, static_cast<std::size_t>(n));
      }
      const std::size_t count = trickle ? std::min<std::size_t>(1, toClient.size()) : toClient.size();
      if (!sendAll(client, toClient.substr(0, count))) return;
      toClient.erase(0, count);
      if (trickle) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  LoopbackPeer peer_;
};

}  // namespace

// A peer that trickles its answer cannot stretch a connection attempt or a
// statement past its deadline: either fails like a lost connection. The
// clock runs a thousand times as fast, so the deadlines of 30 s and 10
// minutes pass after 30 ms and 0.6 s of real time.
TEST(PeerTest, TrickledAnswersEndAtTheDeadline) {
  struct Case {
    const char* name;
    bool trickledLogin;  // else the statement's result is trickled
    std::uint64_t speed;
    RC connected;
    RC executed;
  };
  const Case cases[] = {
      {"a trickled greeting", true, 1000, CR_SERVER_LOST, CR_SERVER_GONE_ERROR},
      {"a trickled result", false, 1000, RC_OK, CR_SERVER_LOST},
      {"a trickled result in time", false, 1, RC_OK, RC_OK},
  };
  for (const Case& c : cases) {
    TricklingProxy proxy;
    FastClockEnv env;
    DbSession session(env);
    session.options.port = proxy.port();
    proxy.trickle = c.trickledLogin;
    env.speed = c.trickledLogin ? c.speed : 1;
    EXPECT_EQ(dbOpenSession(session, kProgramUser, kProgramPassword, "127.0.0.1", kDatabaseName), c.connected)
        << c.name;
    proxy.trickle = !c.trickledLogin;
    env.speed = c.speed;
    Cursor cursor;
    const RC executed = dbExecute(session, cursor, "SELECT REPEAT('x', 1000)");
    EXPECT_EQ(executed, c.executed) << c.name;
    if (executed == RC_OK) {
      Row row;
      ASSERT_EQ(dbFetch(cursor, row), RC_OK) << c.name;
      EXPECT_EQ(row[0].view(), std::string(1000, 'x')) << c.name;
    }
    dbCloseCursor(cursor);
    dbDisconnect(session);
  }
}
