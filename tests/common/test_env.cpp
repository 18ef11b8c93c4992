#include "common/test_env.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "db/session.h"
#include "support/cipher.h"
#include "support/log.h"

namespace sstrxv::test {

namespace fs = std::filesystem;

LoopbackListener::LoopbackListener() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(socket_, 16) != 0 ||
      ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "no loopback listener";
  }
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() { ::close(socket_); }

TestDatabase::TestDatabase() {
  connection_ = mysql_init(nullptr);
  unsigned int timeout = 10;
  mysql_options(connection_, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  mysql_options(connection_, MYSQL_SET_CHARSET_NAME, "latin1");
  if (!mysql_real_connect(connection_, nullptr, "root", nullptr, nullptr, 0, nullptr, CLIENT_MULTI_STATEMENTS)) {
    ADD_FAILURE() << "test server not reachable: " << mysql_error(connection_);
  }
}

TestDatabase::~TestDatabase() { mysql_close(connection_); }

void TestDatabase::exec(const std::string& sql) {
  if (mysql_real_query(connection_, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << "SQL failed: " << mysql_error(connection_) << "\n" << sql.substr(0, 400);
    return;
  }
  do {
    MYSQL_RES* result = mysql_store_result(connection_);
    if (result) mysql_free_result(result);
    if (mysql_errno(connection_) != 0) {
      ADD_FAILURE() << "SQL failed: " << mysql_error(connection_) << "\n" << sql.substr(0, 400);
      return;
    }
  } while (mysql_next_result(connection_) == 0);
  if (mysql_errno(connection_) != 0) {
    ADD_FAILURE() << "SQL failed: " << mysql_error(connection_) << "\n" << sql.substr(0, 400);
  }
}

std::string TestDatabase::scalar(const std::string& sql) {
  if (mysql_real_query(connection_, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << "SQL failed: " << mysql_error(connection_);
    return {};
  }
  MYSQL_RES* result = mysql_store_result(connection_);
  std::string value;
  if (result) {
    if (MYSQL_ROW row = mysql_fetch_row(result)) value = row[0] ? row[0] : "NULL";
    mysql_free_result(result);
  }
  return value;
}

void TestDatabase::reset() {
  std::string sql;
  {
    const std::string query =
        "SELECT schema_name FROM information_schema.schemata WHERE schema_name NOT IN "
        "('mvsystem','mysql','information_schema','performance_schema','sys','test')";
    mysql_real_query(connection_, query.data(), query.size());
    MYSQL_RES* result = mysql_store_result(connection_);
    while (MYSQL_ROW row = result ? mysql_fetch_row(result) : nullptr) {
      sql += "DROP DATABASE `" + std::string(row[0]) + "`;";
    }
    if (result) mysql_free_result(result);
  }
  {
    const std::string query =
        "SELECT table_name FROM information_schema.tables WHERE table_schema='mvsystem' AND table_type='BASE TABLE'";
    mysql_real_query(connection_, query.data(), query.size());
    MYSQL_RES* result = mysql_store_result(connection_);
    while (MYSQL_ROW row = result ? mysql_fetch_row(result) : nullptr) {
      sql += "TRUNCATE TABLE mvsystem.`" + std::string(row[0]) + "`;";
    }
    if (result) mysql_free_result(result);
  }
  if (!sql.empty()) exec(sql);
}

void TestDatabase::createTenantSchema(const std::string& schema) {
  static const std::string tables = readFile(fs::path(SSTRXV_TEST_SQL_DIR) / "tenant_schema.sql");
  exec("CREATE DATABASE `" + schema + "`; USE `" + schema + "`; " + tables);
  exec("USE mvsystem");
}

InstallLayout::InstallLayout() {
  std::string pattern = (fs::temp_directory_path() / "sstrxv-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
  root_ = pattern;
  fs::create_directories(root_ / "Files");
  fs::create_directories(root_ / "Melvarion_php" / "log");
  fs::create_directories(workDir());
  fs::create_directories(outDir());
}

InstallLayout::~InstallLayout() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void InstallLayout::writeSettings(const std::string& host, const std::string& user, const std::string& password) {
  std::string text;
  int number = 1;
  for (const auto& [key, value] :
       {std::pair<std::string, std::string>{"NET8", host}, {"LOGIN", user}, {"PASS", password}}) {
    text += ";Datenbank;\r\n" + std::to_string(number++) + ";" + key + ";" + encryptText(value, kSettingsKey) + "\r\n";
  }
  writeSettingsText(text);
}

void InstallLayout::writeSettingsText(const std::string& text) { writeFile(root_ / "Files" / "Melvarion.Ini", text); }

void InstallLayout::configure(Env& env) const {
  const std::string base = workDir().string() + "/";
  const LogSettings log;
  const InputPaths inputs;
  env.log.logPath = base + log.logPath;
  env.log.oldLogPath = base + log.oldLogPath;
  env.inputs.settingsFile = base + inputs.settingsFile;
  env.inputs.saldoSettingsFile = base + inputs.saldoSettingsFile;
  env.inputs.premiumFile = base + inputs.premiumFile;
}

std::string InstallLayout::relative(std::string text) const {
  const std::string base = workDir().string() + "/";
  for (std::size_t at; (at = text.find(base)) != std::string::npos;) text.erase(at, base.size());
  return text;
}

std::vector<std::string> InstallLayout::logMessages() const {
  std::vector<std::string> messages;
  std::ifstream file(logFile(), std::ios::binary);
  std::string entry;
  while (std::getline(file, entry)) {
    // "YYYY-MM-DD HH:MM:SS " then the message
    messages.push_back(entry.size() >= 20 ? entry.substr(20) : entry);
  }
  return messages;
}

ProgramSession::ProgramSession() {
  context.currentSchema.assign(kDefaultSchema);
  reopen();
}

ProgramSession::~ProgramSession() { dbDisconnect(session); }

void ProgramSession::reopen() {
  EXPECT_EQ(dbOpenSession(session, kProgramUser, kProgramPassword, "", kDatabaseName), RC_OK);
}

WriterResult runWriterInProcess(InstallLayout& layout, Writer writer, const std::string& path, double productVersion) {
  ProgramSession program;
  layout.configure(program.env);
  program.context.interfaceFilePath = path;
  program.context.productVersion = productVersion;
  return writer(program.context);
}

namespace {

// Every test of this suite needs the private server: without it the suite
// stops at once with the reason, instead of each test waiting in the
// program's reconnection pauses.
class ServerCheck : public ::testing::Environment {
 public:
  void SetUp() override {
    MYSQL* connection = mysql_init(nullptr);
    unsigned int timeout = 5;
    mysql_options(connection, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    const bool reached = mysql_real_connect(connection, nullptr, "root", nullptr, nullptr, 0, nullptr, 0);
    const std::string reason = reached ? "" : mysql_error(connection);
    mysql_close(connection);
    const char* socket = std::getenv("MYSQL_UNIX_PORT");
    ASSERT_TRUE(reached) << "the private test server does not answer on " << (socket ? socket : "the default socket")
                         << ": " << reason
                         << "\nStart it with tests/db/testdb.sh start <build>/testdb, or run the suite through ctest.";
  }
};

[[maybe_unused]] ::testing::Environment* const serverCheck = ::testing::AddGlobalTestEnvironment(new ServerCheck);

}  // namespace

void WriterTest::SetUp() {
  db.reset();
  layout.writeSettings("", kProgramUser, kProgramPassword);
}

ProcessResult runProgram(const InstallLayout& layout, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& environment) {
  ProcessResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    if (chdir(layout.workDir().c_str()) != 0) _exit(127);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(SSTRXV_BINARY));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(SSTRXV_BINARY, argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  std::array<char, 4096> chunk;
  ssize_t n;
  while ((n = read(pipeFds[0], chunk.data(), chunk.size())) > 0)
    result.output.append(chunk.data(), static_cast<size_t>(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
}

std::string line(std::initializer_list<std::pair<std::string, int>> fields) {
  std::string text;
  for (const auto& [value, width] : fields) {
    text += value;
    if (static_cast<int>(value.size()) < width) text.append(static_cast<size_t>(width) - value.size(), ' ');
  }
  return text + "x\r\n";
}

std::vector<std::string> sortedLines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const auto end = content.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace sstrxv::test
