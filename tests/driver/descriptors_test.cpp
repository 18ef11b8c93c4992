// The program started with standard descriptors closed, as cron and some
// supervisors start it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/test_env.h"

using namespace sstrxv;
using namespace sstrxv::test;
namespace fs = std::filesystem;

namespace {

// Runs the program in the layout's working directory with the given
// descriptors closed; its exit code, -1 when it did not exit.
int runWithClosed(const InstallLayout& layout, std::initializer_list<int> closed,
                  const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(layout.workDir().c_str()) != 0) _exit(127);
    for (const int descriptor : closed) close(descriptor);
    std::vector<char*> argv{const_cast<char*>(SSTRXV_BINARY)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(SSTRXV_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// With the log unwritable, the messages go to standard error (or with /D
// to standard output); closed, that descriptor must not become the
// database connection, which the messages would then corrupt.
TEST_F(WriterTest, ClosedStandardDescriptorsDoNotTakeTheMessages) {
  struct Case {
    const char* name;
    std::initializer_list<int> closed;
    bool console;  // /D
  };
  const Case cases[] = {
      {"standard error closed", {STDERR_FILENO}, false},
      {"standard output closed, messages to the console", {STDOUT_FILENO}, true},
      {"all three closed", {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}, false},
  };
  db.exec(
      "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES ('L1', 'M1', 'T1', 0),"
      " ('L2', 'M2', 'T2', 0)");
  for (const std::string schema : {"T1", "T2"}) db.createTenantSchema(schema);
  fs::remove_all(layout.logFile().parent_path());
  for (const Case& c : cases) {
    const std::string path = outPath("kostenst.imp");
    fs::remove(path);
    std::vector<std::string> args{path, "KST"};
    if (c.console) args.emplace_back("/D");
    EXPECT_EQ(runWithClosed(layout, c.closed, args), 0) << c.name;
    EXPECT_TRUE(fs::exists(path)) << c.name;
  }
}
