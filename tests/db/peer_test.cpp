// Peers at the database address that are not the server they claim to be,
// or that answer too slowly: a fake server on loopback that asks for
// another login method, and a proxy in front of the private test server
// that trickles its answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include <errmsg.h>

#include "common/test_env.h"
#include "db/runtime.h"
#include "db/session.h"
#include "driver/driver.h"

using namespace sstrxv;
using namespace sstrxv::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kPeerLifetime = std::chrono::seconds(60);  // no peer thread outlives this

// Waits at most the given time for the descriptor; false when it is not ready.
bool ready(int descriptor, short events, int milliseconds) {
  pollfd entry{descriptor, events, 0};
  return ::poll(&entry, 1, milliseconds) > 0;
}

// A TCP listener on 127.0.0.1 with an ephemeral port whose thread hands
// each accepted connection to serve, until the test ends or its lifetime
// is over.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(std::function<void(int)> serve) : serve_(std::move(serve)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "no loopback listener";
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      const auto end = Clock::now() + kPeerLifetime;
      while (!stop_ && Clock::now() < end) {
        if (!ready(listener_, POLLIN, 20)) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ++connections;
        serve_(client);
        ::close(client);
      }
    });
  }
  ~LoopbackPeer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;
  unsigned port() const { return port_; }

  std::atomic<int> connections{0};

 private:
  std::function<void(int)> serve_;
  int listener_ = -1;
  unsigned port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// One packet of the client/server protocol: length, sequence number, body.
std::string packet(unsigned char sequence, const std::string& body) {
  std::string out;
  out += static_cast<char>(body.size() & 0xFF);
  out += static_cast<char>((body.size() >> 8) & 0xFF);
  out += static_cast<char>((body.size() >> 16) & 0xFF);
  out += static_cast<char>(sequence);
  return out + body;
}

bool sendAll(int socket, const std::string& bytes) {
  return ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Reads one packet of the client within two seconds and appends its bytes
// to received; false when none came.
bool readPacket(int socket, std::string& received) {
  const auto end = Clock::now() + std::chrono::seconds(2);
  std::size_t wanted = 4;
  std::string bytes;
  while (bytes.size() < wanted && Clock::now() < end) {
    if (!ready(socket, POLLIN, 50)) continue;
    char chunk[512];
    const ssize_t n = ::recv(socket, chunk, std::min(sizeof chunk, wanted - bytes.size()), 0);
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
    if (bytes.size() == 4) {
      const auto byte = [&](std::size_t at) { return std::size_t{static_cast<unsigned char>(bytes[at])}; };
      wanted = 4 + (byte(0) | byte(1) << 8 | byte(2) << 16);
    }
  }
  received += bytes;
  return bytes.size() == wanted && wanted > 4;
}

// The greeting of a server whose default login method is plugin.
std::string greeting(const std::string& plugin) {
  const std::string seed = "abcdefghijklmnopqrst";  // 20 bytes
  std::string body("\x0a", 1);
  body += std::string("5.7.99-peer\0", 12);
  body += std::string("\x01\x00\x00\x00", 4);  // connection id
  body += seed.substr(0, 8) + std::string(1, '\0');
  body += std::string("\x0d\xa2", 2);      // long password, long flag, with db, 4.1, transactions, secure
  body += std::string("\x08\x02\x00", 3);  // latin1, autocommit
  body += std::string("\x0a\x00", 2);      // multi results, plugin auth
  body += std::string("\x15", 1);          // 21 bytes of login data
  body += std::string(10, '\0');
  body += seed.substr(8) + std::string(1, '\0');
  return body + plugin + std::string(1, '\0');
}

}  // namespace

namespace {

// A peer whose greeting names one login method, that may ask to switch to
// another and may then ask for more; it then accepts or refuses the login
// and, once accepted, answers every statement with OK. Keeps every byte
// the client sent.
struct LoginScript {
  const char* greetingPlugin;
  const char* switchTo;    // "" none
  std::string switchData;  // what the peer sends with the switch
  std::string afterReply;  // a further request after the client's reply; "" none
  bool accept;
};

const std::string kOk("\x00\x00\x00\x02\x00\x00\x00", 7);

class FakeServer {
 public:
  explicit FakeServer(LoginScript script) : script_(std::move(script)), peer_([this](int client) { serve(client); }) {}
  unsigned port() const { return peer_.port(); }
  int connections() const { return peer_.connections; }
  // Every byte the clients sent, and the packets they sent while logging in.
  std::string received() {
    settle();
    const std::lock_guard guard(lock_);
    return received_;
  }
  int loginPackets() {
    settle();
    const std::lock_guard guard(lock_);
    return loginPackets_;
  }

 private:
  // Waits (at most five seconds) until every accepted client is served.
  void settle() {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (served_ < peer_.connections && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void serve(int client) {
    std::string bytes;
    int packets = 0;
    unsigned char sequence = 2;
    bool loggedIn = false;
    if (sendAll(client, packet(0, greeting(script_.greetingPlugin))) && readPacket(client, bytes)) {
      ++packets;
      bool going = true;
      if (*script_.switchTo != '\0') {
        going = sendAll(client, packet(sequence, "\xfe" + std::string(script_.switchTo) + '\0' + script_.switchData)) &&
                readPacket(client, bytes);
        packets += going ? 1 : 0;
        sequence += 2;
      }
      if (going && !script_.afterReply.empty()) {
        // After "fast login done" (\x01\x03) the client waits for the result.
        const bool answered = script_.afterReply != "\x01\x03";
        going = sendAll(client, packet(sequence, script_.afterReply)) && (!answered || readPacket(client, bytes));
        packets += going && answered ? 1 : 0;
        sequence = static_cast<unsigned char>(sequence + (answered ? 2 : 1));
      }
      if (going && script_.accept) {
        loggedIn = sendAll(client, packet(sequence, kOk));
      } else if (going) {
        sendAll(client, packet(sequence, std::string("\xff\x15\x04#28000", 9) + "Access denied"));
      }
    }
    std::string commands;
    while (loggedIn && readPacket(client, commands) && commands[4] != '\x01') {  // until COM_QUIT
      loggedIn = sendAll(client, packet(1, kOk));
      bytes += commands;
      commands.clear();
    }
    const std::lock_guard guard(lock_);
    received_ += bytes;
    loginPackets_ += packets;
    ++served_;
  }

  LoginScript script_;
  std::mutex lock_;
  std::string received_;
  int loginPackets_ = 0;
  std::atomic<int> served_{0};
  LoopbackPeer peer_;
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
      {"native password", {"mysql_native_password", "", "", "", true}, true, 1},
      {"caching_sha2_password from the cache", {"caching_sha2_password", "", "", "\x01\x03", true}, true, 1},
      {"switch to caching_sha2_password",
       {"mysql_native_password", "caching_sha2_password", seed, "\x01\x03", true},
       true,
       2},
      {"switch to clear text", {"mysql_native_password", "mysql_clear_password", seed, "", true}, false, 1},
      {"clear text in the greeting", {"mysql_clear_password", "", "", "", true}, false, 0},
      {"switch to the dialog", {"mysql_native_password", "dialog", "\x04Password: ", "", true}, false, 1},
      // The full login would encrypt the password with a key the peer sends.
      {"full caching_sha2_password login", {"caching_sha2_password", "", "", "\x01\x04", true}, false, 1},
  };
  for (const Case& c : cases) {
    FakeServer server(c.script);
    ObservedEnv env;
    DbSession session(env);
    session.options.port = server.port();
    const RC rc = dbOpenSession(session, kProgramUser, kProgramPassword, "127.0.0.1", kDatabaseName);
    EXPECT_EQ(rc == RC_OK, c.connected) << c.name << ": " << rc;
    dbDisconnect(session);
    EXPECT_EQ(server.loginPackets(), c.loginPackets) << c.name;
    EXPECT_EQ(server.received().find(kProgramPassword), std::string::npos) << c.name;
  }
}

// A refused login method fails the run like a refused login: the failed
// connection is logged, the reconnection attempts follow, exit code 99.
TEST(PeerTest, RefusedLoginMethodEndsTheRunLikeARefusedLogin) {
  FakeServer server({"mysql_native_password", "mysql_clear_password", "", "", true});
  InstallLayout layout;
  layout.enter();
  layout.writeSettings("127.0.0.1", kProgramUser, kProgramPassword);
  ObservedEnv env;
  int pauses = 0;
  env.onPause = [&](unsigned long) { ++pauses; };
  const std::string path = (layout.outDir() / "kst.imp").string();
  const char* argv[] = {"SSTRXV", path.c_str(), "KST"};
  EXPECT_EQ(sstrxv::runProgram(3, argv, env, ConnectionOptions{.port = server.port()}), 99);
  EXPECT_EQ(pauses, kReconnectAttempts);
  EXPECT_EQ(server.connections(), kReconnectAttempts + 1);
  const auto log = layout.logMessages();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(log.front().starts_with("Datenbankverbindung fehlgeschlagen, Fehler: "));
  EXPECT_EQ(server.received().find(kProgramPassword), std::string::npos);
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
          const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
          sockaddr_un address{};
          address.sun_family = AF_UNIX;
          const char* path = std::getenv("MYSQL_UNIX_PORT");
          std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path != nullptr ? path : "");
          if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) relay(client, server);
          ::close(server);
        }) {}
  unsigned port() const { return peer_.port(); }
  std::atomic<bool> trickle{false};

 private:
  // Relays both ways until either side closes, at most the peer's lifetime.
  void relay(int client, int server) {
    std::string toClient;
    const auto end = Clock::now() + kPeerLifetime;
    while (Clock::now() < end) {
      pollfd entries[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(entries, 2, 1) < 0) return;
      char chunk[4096];
      if ((entries[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0 || !sendAll(server, std::string(chunk, static_cast<std::size_t>(n)))) return;
      }
      if ((entries[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        const ssize_t n = ::recv(server, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        toClient.append(chunk, static_cast<std::size_t>(n));
      }
      if (toClient.empty()) continue;
      const std::size_t count = trickle ? 1 : toClient.size();
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
    bool trickledLogin;
    bool trickledStatement;
    std::uint64_t speed;
    RC connected;
    RC executed;
  };
  const Case cases[] = {
      {"a trickled greeting", true, false, 1000, CR_SERVER_LOST, CR_SERVER_GONE_ERROR},
      {"a trickled result", false, true, 1000, RC_OK, CR_SERVER_LOST},
      {"a trickled result in time", false, true, 1, RC_OK, RC_OK},
  };
  TestDatabase db;
  for (const Case& c : cases) {
    TricklingProxy proxy;
    FastClockEnv env;
    DbSession session(env);
    session.options.port = proxy.port();
    proxy.trickle = c.trickledLogin;
    env.speed = c.trickledLogin ? c.speed : 1;
    const auto started = Clock::now();
    EXPECT_EQ(dbOpenSession(session, kProgramUser, kProgramPassword, "127.0.0.1", kDatabaseName), c.connected)
        << c.name;
    proxy.trickle = c.trickledStatement;
    env.speed = c.speed;
    Cursor cursor;
    const RC executed = dbExecute(session, cursor, "SELECT REPEAT('x', 1500)");
    EXPECT_EQ(executed, c.executed) << c.name;
    if (executed == RC_OK) {
      Row row;
      ASSERT_EQ(dbFetch(cursor, row), RC_OK) << c.name;
      EXPECT_EQ(row[0].view(), std::string(1500, 'x')) << c.name;
    }
    dbCloseCursor(cursor);
    dbDisconnect(session);
    std::cout << c.name << ": " << std::chrono::duration<double>(Clock::now() - started).count() << " s\n";
  }
}
