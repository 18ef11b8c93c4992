// Test support: the private test server, a temporary installation layout
// for the program, and running the program as a process.
#pragma once

#include <gtest/gtest.h>
#include <mysql.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "export/frame.h"
#include "support/env.h"

namespace sstrxv {
// Writer results in failure messages by their numbers.
inline void PrintTo(WriterResult result, std::ostream* out) { *out << static_cast<int>(result); }
}  // namespace sstrxv

namespace sstrxv::test {

// A root connection to the private test server (socket from MYSQL_UNIX_PORT)
// for setting up data.
class TestDatabase {
 public:
  TestDatabase();
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // Runs one or more statements separated by ";"; fails the test on error.
  void exec(const std::string& sql);
  // The first column of the first row, "NULL" for NULL, "" without row.
  std::string scalar(const std::string& sql);
  // Empties every system table and drops every tenant schema.
  void reset();
  // Creates a tenant schema with all tenant tables.
  void createTenantSchema(const std::string& schema);

 private:
  MYSQL* connection_ = nullptr;
};

// The user and password the program connects with.
inline constexpr const char* kProgramUser = "sstrxv";
inline constexpr const char* kProgramPassword = "sstrxv-secret";

// A temporary installation: <root>/Files/Melvarion.Ini, <root>/Melvarion_php/log/
// and the working directory <root>/bin/run two levels below the root. A run
// inside the test finds it through the environment that the layout
// configures; the program run as a process starts in its working directory.
class InstallLayout {
 public:
  InstallLayout();
  ~InstallLayout();
  InstallLayout(const InstallLayout&) = delete;
  InstallLayout& operator=(const InstallLayout&) = delete;

  // Writes the settings file with these plain values, enciphered.
  void writeSettings(const std::string& host, const std::string& user, const std::string& password);
  void writeSettingsText(const std::string& text);

  // Gives the environment the paths of a run in the working directory: the
  // log's and the input files', each the working directory, "/" and the
  // program's own relative path.
  void configure(Env& env) const;
  // The text with every "<working directory>/" taken out: the paths of a
  // configured environment as the program in its working directory shows them.
  std::string relative(std::string text) const;

  std::filesystem::path root() const { return root_; }
  std::filesystem::path workDir() const { return root_ / "bin" / "run"; }
  std::filesystem::path logFile() const { return root_ / "Melvarion_php" / "log" / "sstrxv.log"; }
  std::filesystem::path oldLogFile() const { return root_ / "Melvarion_php" / "log" / "sstrxv.old"; }
  std::filesystem::path outDir() const { return root_ / "out"; }

  // The log's messages without their time stamps, in order.
  std::vector<std::string> logMessages() const;

 private:
  std::filesystem::path root_;
};

// The environment of a run inside a test: messages go to the log as the
// program writes them and then to onMessage; no pause is waited for, each
// goes to onPause instead.
class ObservedEnv : public Env {
 public:
  void pauseMilliseconds(unsigned long milliseconds) noexcept override {
    if (onPause) onPause(milliseconds);
  }
  void writeLog(std::string_view message) noexcept override {
    Env::writeLog(message);
    if (onMessage) onMessage(message);
  }

  std::function<void(unsigned long milliseconds)> onPause;
  std::function<void(std::string_view message)> onMessage;
};

// Runs one writer in this process, as the driver's attempt would: with the
// layout's paths, messages to the log, the given output path
// and product release, on a fresh session that is closed again afterwards.
// For failures, whose retries would pause when the program runs as a process.
WriterResult runWriterInProcess(InstallLayout& layout, Writer writer, const std::string& path,
                                double productVersion = 0.0);

// A session of the program's user on the test server, with the context a
// writer gets, for tests that drive the frame or the runtime themselves.
struct ProgramSession {
  ProgramSession();
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;
  // Closes the session and opens a new one (which sees data committed since).
  void reopen();

  ObservedEnv env;
  DbSession session{env};
  ExportContext context{session};
};

struct ProcessResult {
  int exitCode = -1;
  std::string output;  // standard output
};

// Runs the program with these arguments in the layout's working directory,
// with the test's environment and these variables set on top of it.
ProcessResult runProgram(const InstallLayout& layout, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& environment = {});

// A TCP listener on 127.0.0.1 at an ephemeral port, closed at the end of its
// scope. The kernel completes connections into its queue; accepting them is
// up to the user of socket().
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  int socket() const { return socket_; }
  unsigned port() const { return port_; }

 private:
  int socket_;
  unsigned port_ = 0;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

// A line of blanks-padded fields for expectations: "%-<w>s" each, then "x\r\n".
std::string line(std::initializer_list<std::pair<std::string, int>> fields);

// Lines of a file split at CR LF (each without its line end), for set comparison.
std::vector<std::string> sortedLines(const std::string& content);

// The common ground of a writer's tests: an empty test database and an
// installation whose settings hold the program's credentials.
class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // A path for an output file in the installation.
  std::string outPath(const std::string& name) const { return (layout.outDir() / name).string(); }

  TestDatabase db;
  InstallLayout layout;
};

}  // namespace sstrxv::test
