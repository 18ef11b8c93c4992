// Output files that appear whole or not at all and leave alone what is no
// file; input files read only as regular files of bounded size.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "db/runtime.h"
#include "export/balance/premium.h"
#include "export/balance/saldo_settings.h"
#include "scratch_dir.h"
#include "support/cipher.h"
#include "support/env.h"
#include "support/files.h"
#include "support/settings.h"

using namespace sstrxv;
using namespace sstrxv::platform;
namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path) { return test::readBytes(path); }

class FilesTest : public test::ScratchDirTest {
 protected:
  FilesTest() : ScratchDirTest("files") {}

  // The names in the directory.
  std::set<std::string> names() const {
    std::set<std::string> result;
    for (const auto& entry : fs::directory_iterator(dir)) result.insert(entry.path().filename().string());
    return result;
  }
  void writeText(const fs::path& path, const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
};

}  // namespace

TEST_F(FilesTest, ReplacementTakesThePathOnlyWhenCommitted) {
  const fs::path path = dir / "IDN.imp";
  const fs::path linked = dir / "elsewhere";
  const mode_t previousMask = ::umask(027);
  for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
    const char* name = kind == TemporaryKind::kNamed ? "named" : "unnamed";
    fs::remove(path);
    writeText(path, "yesterday\r\n");
    {
      auto file = OutputFile::open(path.string(), OutputMode::kReplace, kind);
      ASSERT_TRUE(file) << name;
      ASSERT_TRUE(file->write("half of to"));
    }  // a failed attempt: never committed
    EXPECT_EQ(read(path), "yesterday\r\n") << name;
    EXPECT_EQ(names(), std::set<std::string>{"IDN.imp"}) << name;

    const auto writeToday = [&] {
      auto file = OutputFile::open(path.string(), OutputMode::kReplace, kind);
      return file && file->write("today\r\n") && file->commit();
    };
    ASSERT_TRUE(writeToday()) << name;
    EXPECT_EQ(read(path), "today\r\n") << name;
    EXPECT_EQ(names(), std::set<std::string>{"IDN.imp"}) << name;
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640)) << name;  // the umask holds

    // A link at the path is replaced, the file it points to stays as it was.
    fs::remove(path);
    writeText(linked, "not ours\n");
    fs::create_symlink(linked, path);
    ASSERT_TRUE(writeToday()) << name;
    EXPECT_FALSE(fs::is_symlink(path)) << name;
    EXPECT_EQ(read(path), "today\r\n") << name;
    EXPECT_EQ(read(linked), "not ours\n") << name;
    fs::remove(linked);
  }
  ::umask(previousMask);
}

TEST_F(FilesTest, NothingThatIsNoFileIsRemovedOrReplaced) {
  const fs::path path = dir / "IDN.imp";
  struct Thing {
    const char* name;
    bool (*make)(const fs::path&);
    fs::file_type type;
  };
  const Thing things[] = {
      {"a FIFO", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, fs::file_type::fifo},
      {"a directory", [](const fs::path& p) { return fs::create_directory(p); }, fs::file_type::directory},
      {"a copy of /dev/null", [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
       fs::file_type::character},
  };
  for (const Thing& thing : things) {
    fs::remove_all(path);
    if (!thing.make(path)) {
      ASSERT_NE(::geteuid(), 0u) << thing.name;  // only root makes device nodes
      continue;
    }
    for (const OutputMode mode : {OutputMode::kReplace, OutputMode::kRecreate, OutputMode::kAppend}) {
      EXPECT_FALSE(OutputFile::open(path.string(), mode)) << thing.name << " mode " << static_cast<int>(mode);
      EXPECT_EQ(fs::symlink_status(path).type(), thing.type) << thing.name;
    }
    EXPECT_EQ(names(), std::set<std::string>{"IDN.imp"}) << thing.name;
  }
}

// A process that ends at once while it writes leaves no temporary file: an
// unnamed one never had a name, a named one is removed by the next run.
TEST_F(FilesTest, ProcessEndingAtOnceLeavesNoTemporaryFile) {
  const fs::path path = dir / "IDN.imp";
  writeText(path, "yesterday\r\n");
  const bool unnamedFiles = FileHandle(::open(dir.c_str(), O_WRONLY | O_TMPFILE, 0600)).get() >= 0;
  for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
    const bool named = kind == TemporaryKind::kNamed || !unnamedFiles;
    const auto overflowWhileWriting = [&path, kind] {
      auto file = OutputFile::open(path.string(), OutputMode::kReplace, kind);
      if (!file || !file->write("half of today\r\n")) std::exit(2);
      std::exit(1);  // as a statement that reaches its length limit ends the run
    };
    EXPECT_EXIT(overflowWhileWriting(), ::testing::ExitedWithCode(1), "");
    {
      auto running = OutputFile::open(path.string(), OutputMode::kReplace, kind);  // the next run
      ASSERT_TRUE(running);
      EXPECT_EQ(names().size(), named ? 2u : 1u);                                     // its own, and nothing else
      auto concurrent = OutputFile::open(path.string(), OutputMode::kReplace, kind);  // leaves the living one
      ASSERT_TRUE(concurrent);
      EXPECT_EQ(names().size(), named ? 3u : 1u);
    }
    EXPECT_EQ(read(path), "yesterday\r\n");
    EXPECT_EQ(names(), std::set<std::string>{"IDN.imp"});
  }
}

// The settings file, SaldoRXV.ini and the premium file: what is no regular
// file, or is larger than any real one, reads as an unreadable file, at once.
TEST_F(FilesTest, InputFilesAreReadOnlyAsBoundedRegularFiles) {
  const std::string settings = ";Datenbank;\r\n2;LOGIN;" + encryptText("exporter", kSettingsKey) + "\r\n";
  struct Reader {
    const char* name;
    std::string content;  // a file that is read
    std::function<bool(const std::string&)> reads;
  };
  const Reader readers[] = {
      {"settings file", settings,
       [](const std::string& p) { return readSetting("", "LOGIN", 0, p).settingValue.view() == "exporter"; }},
      {"SaldoRXV.ini", "F02=UVJ\r\n",
       [](const std::string& p) { return readSaldoSettings(p).status == SaldoSettingsStatus::kRead; }},
      {"premium file", "00001234;12,5;7\r\n",
       [](const std::string& p) { return readPraemien(p).status == PremiumStatus::kRead; }},
  };
  struct Kind {
    const char* name;
    bool read;
    void (*make)(const fs::path&, const std::string& content);
  };
  const Kind kinds[] = {
      {"a regular file", true,
       [](const fs::path& p, const std::string& c) { std::ofstream(p, std::ios::binary) << c; }},
      {"a FIFO", false, [](const fs::path& p, const std::string&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"/dev/zero", false, [](const fs::path& p, const std::string&) { fs::create_symlink("/dev/zero", p); }},
      {"/dev/urandom", false, [](const fs::path& p, const std::string&) { fs::create_symlink("/dev/urandom", p); }},
      {"a file over the limit", false,
       [](const fs::path& p, const std::string& c) {
         std::ofstream(p, std::ios::binary) << c;
         fs::resize_file(p, kInputFileLimit + 1);
       }},
  };
  ::alarm(60);  // a reader that waits for ever ends the test
  const fs::path path = dir / "input";
  for (const Reader& reader : readers) {
    for (const Kind& kind : kinds) {
      fs::remove(path);
      kind.make(path, reader.content);
      EXPECT_EQ(reader.reads(path.string()), kind.read) << reader.name << " as " << kind.name;
    }
  }
  ::alarm(0);
}

namespace {

// As root, a tree that another user owns: `tree` and what is planted in it
// belong to nobody (65534), the rest of the scratch directory to root.
class PlantedTreeTest : public FilesTest {
 protected:
  static constexpr uid_t kOtherUser = 65534;
  void SetUp() override {
    FilesTest::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
    for (const char* made : {"victim", "tree", "tree/own", "tree/rootdir"}) fs::create_directory(dir / made);
    for (const char* given : {"tree", "tree/own"}) ASSERT_EQ(::chown((dir / given).c_str(), kOtherUser, kOtherUser), 0);
  }
  void plant(const std::string& name, const fs::path& target, uid_t owner = kOtherUser) const {
    fs::create_symlink(target, dir / name);
    ASSERT_EQ(::lchown((dir / name).c_str(), owner, owner), 0);
  }
  static bool sameDirectory(int fd, const fs::path& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
           opened.st_dev == named.st_dev;
  }
};

}  // namespace

// A link or directory of an unprivileged user never leads to another
// user's directory; root's links and links within one owner's tree are
// followed. Each unsafe step is named by the failure.
TEST_F(PlantedTreeTest, DirectoriesAreReachedOnlyBySafeSteps) {
  plant("tree/absolute", dir / "victim");
  plant("tree/relative", "../victim");
  plant("tree/within", "own");
  plant("tree/loop", "loop");
  plant("rootlink", dir / "victim", 0);
  plant("tree/nobody-to-root", dir / "rootlink");
  struct Case {
    const char* path;      // below the scratch directory
    const char* reaches;   // the directory opened; nullptr: refused
    const char* unsafeAt;  // the step named when refused as unsafe
  };
  const Case cases[] = {
      {"tree/absolute", nullptr, "tree/absolute (owner 65534) leads to / (owner 0)"},
      {"tree/absolute/sub", nullptr, "tree/absolute (owner 65534) leads to / (owner 0)"},
      {"tree/relative", nullptr, "tree/relative (owner 65534) leads to "},
      {"tree/nobody-to-root", nullptr, "tree/nobody-to-root (owner 65534) leads to / (owner 0)"},
      {"tree/rootdir", nullptr, "tree (owner 65534) leads to "},
      {"tree/own/..", "tree", nullptr},
      {"tree/within", "tree/own", nullptr},
      {"rootlink", "victim", nullptr},
      {"tree/loop", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const ResolvedDirectory resolved = openDirectory((dir / c.path).string());
    if (c.reaches) {
      EXPECT_TRUE(sameDirectory(resolved.handle.get(), dir / c.reaches)) << c.path << ": " << resolved.failure;
      continue;
    }
    EXPECT_FALSE(resolved.handle) << c.path;
    if (c.unsafeAt) {
      EXPECT_NE(resolved.failure.find(c.unsafeAt), std::string::npos) << c.path << ": " << resolved.failure;
    }
  }
}

// The temporary file of a living writer, with or without a name yet, is
// locked from its creation, so that another run's sweep leaves it.
TEST_F(FilesTest, TemporaryIsLockedFromItsCreation) {
  const fs::path path = dir / "IDN.imp";
  for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
    auto writer = OutputFile::open(path.string(), OutputMode::kReplace, kind);
    ASSERT_TRUE(writer);
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      if (fs::read_symlink(entry.path(), error).parent_path() != dir) continue;
      ++temporaries;
      const FileHandle other(::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_TRUE(other);
      EXPECT_NE(::flock(other.get(), LOCK_EX | LOCK_NB), 0) << entry.path();
    }
    EXPECT_EQ(temporaries, 1);
  }
}

// Hidden files that no writer holds are removed when the path is opened
// again, whatever kind of temporary that run uses; a held one, and what is
// no regular file, stays.
TEST_F(FilesTest, UnlockedLeftoversAreSweptOnEveryRun) {
  const std::string longName(255, 'L');
  struct Leftover {
    std::string target;  // the output file's name
    std::string name;    // the leftover beside it
    bool held;           // locked by a living writer
    bool removed;
  };
  const Leftover leftovers[] = {
      {"IDN.imp", ".IDN.imp.k3Xa9Q", false, true},
      {"IDN.imp", ".IDN.imp.b7Yc2W", true, false},
      {longName, "." + longName.substr(0, 247) + ".Zq81mN", false, true},
      {"IDN.imp", ".IDN.imp.k3Xa9", false, false},  // not of the pattern
  };
  for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
    for (const Leftover& leftover : leftovers) {
      writeText(dir / leftover.name, "a complete copy\r\n");
      const FileHandle holder(::open((dir / leftover.name).c_str(), O_RDONLY | O_CLOEXEC));
      if (leftover.held) {
        ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
      }
      {
        auto file = OutputFile::open((dir / leftover.target).string(), OutputMode::kReplace, kind);
        ASSERT_TRUE(file) << leftover.name;
      }
      EXPECT_EQ(fs::exists(dir / leftover.name), !leftover.removed) << leftover.name;
      fs::remove(dir / leftover.name);
    }
    ASSERT_EQ(::mkfifo((dir / ".IDN.imp.f1f0AB").c_str(), 0600), 0);
    EXPECT_TRUE(OutputFile::open((dir / "IDN.imp").string(), OutputMode::kReplace, kind));
    EXPECT_EQ(names(), std::set<std::string>{".IDN.imp.f1f0AB"});
    fs::remove(dir / ".IDN.imp.f1f0AB");
  }
}

// A file name of up to the longest a directory holds is written, its
// temporary with it.
TEST_F(FilesTest, NamesUpToTheLongestAreWritten) {
  for (const std::size_t length : {1ul, 247ul, 248ul, 255ul}) {
    for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
      const std::string name(length, 'N');
      auto file = OutputFile::open((dir / name).string(), OutputMode::kReplace, kind);
      ASSERT_TRUE(file) << length;
      EXPECT_TRUE(file->write("today\r\n") && file->commit()) << length;
      EXPECT_EQ(names(), std::set<std::string>{name}) << length;
      fs::remove(dir / name);
    }
  }
}

// Whatever the umask, no file the program creates is writable by others;
// reading stays as the umask allows.
TEST_F(FilesTest, CreatedFilesAreNeverWritableByOthers) {
  const fs::path path = dir / "IDN.imp";
  const auto create = [&path](OutputMode mode, TemporaryKind kind) {
    auto file = OutputFile::open(path.string(), mode, kind);
    return file && file->commit();
  };
  const std::function<bool()> creators[] = {
      [&] { return create(OutputMode::kReplace, TemporaryKind::kUnnamedWhereSupported); },
      [&] { return create(OutputMode::kReplace, TemporaryKind::kNamed); },
      [&] { return create(OutputMode::kRecreate, TemporaryKind::kNamed); },
      [&] { return create(OutputMode::kAppend, TemporaryKind::kNamed); },
      [&] {
        Env env;
        env.log.logPath = path.string();
        env.writeLog("Import x fertig.");
        return true;
      },
  };
  struct Mask {
    mode_t umask;
    fs::perms created;
  };
  const Mask masks[] = {{0, fs::perms(0664)}, {002, fs::perms(0664)}, {022, fs::perms(0644)}, {027, fs::perms(0640)}};
  const mode_t previousMask = ::umask(0);
  for (const Mask& mask : masks) {
    for (std::size_t creator = 0; creator < std::size(creators); ++creator) {
      ::umask(mask.umask);
      fs::remove(path);
      ASSERT_TRUE(creators[creator]()) << creator;
      EXPECT_EQ(fs::status(path).permissions(), mask.created) << "umask " << mask.umask << " creator " << creator;
    }
  }
  ::umask(previousMask);
}
