// The run against a hostile file system, with the program run in-process so
// that its pauses are counted instead of waited for: a log that another
// process keeps locked, and directories reached through planted links.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "common/test_env.h"
#include "driver/driver.h"
#include "support/log.h"

using namespace sstrxv;
using namespace sstrxv::test;
namespace fs = std::filesystem;

namespace {

class FileSafetyTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    env.onPause = [this](unsigned long milliseconds) { paused += milliseconds; };
    env.onMessage = [this](std::string_view message) { messages.emplace_back(message); };
    layout.enter();
  }
  int run(const std::string& path) {
    const char* argv[] = {"SSTRXV", path.c_str(), "MND"};
    return sstrxv::runProgram(3, argv, env);
  }

  ObservedEnv env;
  unsigned long paused = 0;
  std::vector<std::string> messages;
};

// Holds an exclusive lock on a file from another process, for at most half
// a minute, until it ends.
class LockHolder {
 public:
  explicit LockHolder(const fs::path& file) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(release_) != 0) ADD_FAILURE() << "pipe";
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(release_[1]);
      const int fd = ::open(file.c_str(), O_RDONLY);
      if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
      static_cast<void>(::write(ready[1], "l", 1));
      ::alarm(30);
      char end;
      static_cast<void>(::read(release_[0], &end, 1));
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release_[0]);
    char locked = 0;
    EXPECT_EQ(::read(ready[0], &locked, 1), 1) << "the lock holder did not lock";
    ::close(ready[0]);
  }
  ~LockHolder() {
    ::close(release_[1]);
    ::waitpid(pid_, nullptr, 0);
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
};

}  // namespace

// A log over the rotation size that another process keeps locked holds up
// no run: it ends at once, the rotation waits for a later message, and
// every line stays whole in the log or its predecessor.
TEST_F(FileSafetyTest, LockedLogHoldsUpNoRun) {
  const std::string history = "history line\n";
  std::string full;
  while (full.size() <= kLogRotationBytes) full += history;
  writeFile(layout.logFile(), full);
  for (const bool locked : {true, false}) {
    const auto started = std::chrono::steady_clock::now();
    {
      std::optional<LockHolder> holder;
      if (locked) holder.emplace(layout.logFile());
      EXPECT_EQ(run(outPath("mnd.imp")), 0) << locked;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << locked;
    EXPECT_LT(paused, 10000ul) << locked;
    EXPECT_EQ(fs::exists(layout.oldLogFile()), !locked);
  }
  std::string lines = readFile(layout.oldLogFile()) + readFile(layout.logFile());
  ASSERT_TRUE(lines.starts_with(full));
  std::istringstream logged(lines.substr(full.size()));
  std::vector<std::string> texts;
  for (std::string entry; std::getline(logged, entry);)
    texts.push_back(entry.substr(std::min<std::size_t>(20, entry.size())));
  EXPECT_EQ(texts, messages);
}

// A directory reached through a link that its owner could have pointed
// anywhere is never written: the output file fails to open (the retries,
// 99), the log's messages go to standard error. A link of root, and a link
// within one owner's tree, are followed as before.
TEST_F(FileSafetyTest, DirectoriesThroughPlantedLinksAreNotWritten) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  constexpr uid_t kOtherUser = 65534;
  const fs::path victim = layout.root() / "victim";
  const fs::path tree = layout.outDir() / "tree";
  fs::create_directories(victim / "sub");
  fs::create_directories(tree / "own");
  for (const fs::path& given : {tree, tree / "own"}) ASSERT_EQ(::chown(given.c_str(), kOtherUser, kOtherUser), 0);
  const auto plant = [](const fs::path& at, const fs::path& target, uid_t owner) {
    fs::create_symlink(target, at);
    ASSERT_EQ(::lchown(at.c_str(), owner, owner), 0);
  };
  plant(tree / "planted", victim, kOtherUser);
  plant(tree / "within", "own", kOtherUser);
  plant(layout.outDir() / "rootlink", victim, 0);
  struct Case {
    fs::path directory;  // of the output file
    bool written;
  };
  const Case cases[] = {
      {tree / "planted", false},
      {tree / "planted" / "sub", false},
      {layout.outDir() / "rootlink", true},
      {tree / "within", true},
  };
  for (const Case& c : cases) {
    const std::string path = (c.directory / "mnd.imp").string();
    fs::remove(layout.logFile());
    EXPECT_EQ(run(path), c.written ? 0 : 99) << path;
    const auto log = layout.logMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Oeffnen der Datei " + path + " fehlgeschlagen"), c.written ? 0 : 5)
        << path;
    EXPECT_EQ(fs::exists(c.directory / "mnd.imp"), c.written) << path;
    fs::remove(c.directory / "mnd.imp");
  }

  // The log directory as a link that the tree's owner planted.
  const fs::path logDirectory = layout.logFile().parent_path();
  fs::remove_all(logDirectory);
  ASSERT_EQ(::chown(logDirectory.parent_path().c_str(), kOtherUser, kOtherUser), 0);
  plant(logDirectory, victim, kOtherUser);
  messages.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run(outPath("mnd.imp")), 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(fs::exists(victim / layout.logFile().filename()));
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(err.find(messages.back()), std::string::npos) << err;
}
