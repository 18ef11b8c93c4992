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

// As root, in a tree of nobody (65534): a link or directory of an
// unprivileged user never leads the output file or the log to another
// user's directory; root's links and links within one owner's tree are
// followed.
TEST_F(FilesTest, DirectoriesAreReachedOnlyBySafeSteps) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  for (const auto& [name, owner] :
       {std::pair{"victim", 0u}, {"tree", 65534u}, {"tree/own", 65534u}, {"tree/rootdir", 0u}}) {
    ASSERT_TRUE(fs::create_directory(dir / name) && ::chown((dir / name).c_str(), owner, owner) == 0);
  }
  const std::string victim = (dir / "victim").string();
  for (const auto& [name, target] : {std::pair{"tree/absolute", victim.c_str()},
                                     {"tree/relative", "../victim"},
                                     {"tree/within", "own"},
                                     {"tree/loop", "loop"},
                                     {"rootlink", victim.c_str()}}) {
    fs::create_symlink(target, dir / name);
    ASSERT_EQ(::lchown((dir / name).c_str(), std::string_view(name) == "rootlink" ? 0 : 65534, 65534), 0);
  }
  // the path, the directory it reaches
  const std::pair<const char*, const char*> cases[] = {
      {"tree/absolute", nullptr}, {"tree/relative", nullptr},  {"tree/rootdir", nullptr}, {"tree/loop", nullptr},
      {"tree/own/..", "tree"},    {"tree/within", "tree/own"}, {"rootlink", "victim"}};
  Env env;
  for (const auto& [path, reaches] : cases) {
    EXPECT_EQ(OutputFile::open((dir / path / "IDN.imp").string(), OutputMode::kReplace).has_value(),
              reaches != nullptr);
    env.log.logPath = (dir / path / "sstrxv.log").string();
    ::testing::internal::CaptureStderr();
    env.writeLog("Import x fertig.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr().empty(), reaches != nullptr) << path;
    EXPECT_TRUE(!reaches || fs::remove(dir / reaches / "sstrxv.log")) << path;
  }
}

// The temporary file of a living writer, named or not yet, is locked from
// its creation, so that another run's sweep leaves it.
TEST_F(FilesTest, TemporaryIsLockedFromItsCreation) {
  for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
    auto writer = OutputFile::open((dir / "IDN.imp").string(), OutputMode::kReplace, kind);
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      if (fs::read_symlink(entry.path(), error).parent_path() != dir) continue;
      ++temporaries;
      EXPECT_NE(::flock(FileHandle(::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC)).get(), LOCK_EX | LOCK_NB), 0);
    }
    EXPECT_EQ(temporaries, 1);
  }
}

// Whatever kind of temporary a run uses, it removes the hidden files of its
// name that no writer holds (for a long name, by its shortened pattern) and
// writes names up to the longest a directory holds; a held leftover and
// what is no regular file stay.
TEST_F(FilesTest, LeftoversAreSweptAndLongNamesWritten) {
  for (const std::size_t length : {7ul, 248ul, 255ul}) {
    const std::string name(length, 'N');
    const std::string pattern = "." + name.substr(0, 247) + ".";
    for (const TemporaryKind kind : {TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed}) {
      writeText(dir / (pattern + "k3Xa9Q"), "left by a process that ended");
      writeText(dir / (pattern + "b7Yc2W"), "held by a living writer");
      const FileHandle holder(::open((dir / (pattern + "b7Yc2W")).c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_EQ(::flock(holder.get(), LOCK_EX) | ::mkfifo((dir / (pattern + "f1f0AB")).c_str(), 0600), 0);
      auto file = OutputFile::open((dir / name).string(), OutputMode::kReplace, kind);
      EXPECT_TRUE(file && file->write("today\r\n") && file->commit()) << length;
      EXPECT_EQ(names(), (std::set<std::string>{name, pattern + "b7Yc2W", pattern + "f1f0AB"})) << length;
      fs::remove_all(dir), fs::create_directory(dir);
    }
  }
}

// Under umask 000, no file the program creates (an interface file, the log)
// is writable by others; reading stays as the umask allows.
TEST_F(FilesTest, CreatedFilesAreNeverWritableByOthers) {
  const mode_t previousMask = ::umask(0);
  Env env;
  env.log.logPath = (dir / "sstrxv.log").string();
  env.writeLog("Import x fertig.");
  for (const OutputMode mode : {OutputMode::kReplace, OutputMode::kRecreate, OutputMode::kAppend}) {
    auto file = OutputFile::open((dir / ("IDN.imp" + std::to_string(static_cast<int>(mode)))).string(), mode);
    EXPECT_TRUE(file && file->commit());
  }
  ::umask(previousMask);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.status().permissions(), fs::perms(0664)) << entry;
}
