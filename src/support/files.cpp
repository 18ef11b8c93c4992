#include "support/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <random>
#include <utility>

namespace sstrxv::platform {
namespace {

constexpr int kMaxNameTries = 100;
constexpr std::size_t kTemporaryLetters = 6;

// The directory part of a path ("." for a bare name) and the name in it.
std::pair<std::string, std::string> splitPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// True when nothing is at the path, or a regular file or a link: the only
// things an output file may take the place of.
bool mayTakePlaceOf(const std::string& path) noexcept {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode) || S_ISLNK(status.st_mode);
}

// A hidden name beside the path that no other file has yet: ".IDN.imp.k3Xa9Q".
std::string temporaryName(const std::string& directory, const std::string& name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::string result = directory + "/." + name + ".";
  for (std::size_t i = 0; i < kTemporaryLetters; ++i) result += kLetters[random() % (sizeof kLetters - 1)];
  return result;
}

// Gives an unnamed file the name `target`; false when the name is taken or
// the file cannot be linked.
bool linkUnnamed(int fd, const std::string& target) {
  if (::linkat(fd, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool sameFile(const std::string& path, int fd) noexcept {
  struct stat named {};
  struct stat opened {};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

// Removes the named temporaries of the path that a process left when it
// ended at once: a temporary is locked by its writer while it lives, so one
// that can be locked has no writer any more.
void removeLeftTemporaries(const std::string& directory, const std::string& name) {
  const std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(directory.c_str()), ::closedir);
  if (!entries) return;
  const std::string prefix = "." + name + ".";
  while (const dirent* entry = ::readdir(entries.get())) {
    const std::string_view entryName = entry->d_name;
    if (entryName.size() != prefix.size() + kTemporaryLetters || !entryName.starts_with(prefix)) continue;
    const std::string path = directory + "/" + std::string(entryName);
    const FileHandle left(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (left && ::fstat(left.get(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::flock(left.get(), LOCK_EX | LOCK_NB) == 0 && sameFile(path, left.get())) {
      ::unlink(path.c_str());
    }
  }
}

void syncDirectory(const std::string& directory) noexcept {
  const FileHandle handle(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (handle) static_cast<void>(::fsync(handle.get()));
}

}  // namespace

std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat status {};
  if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<std::uintmax_t>(status.st_size) > limit) {
    return std::nullopt;
  }
  std::string content(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == content.size()) {
      if (content.size() > limit) return std::nullopt;  // grew beyond the limit while read
      content.resize(content.size() + 4096);
    }
    const ssize_t got = ::read(file.get(), content.data() + used, content.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  if (used > limit) return std::nullopt;
  content.resize(used);
  return content;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

int FileHandle::release() noexcept { return std::exchange(fd_, -1); }

void FileHandle::reset() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

FileHandle openForAppending(const std::string& path) noexcept {
  FileHandle file(
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  struct stat status {};
  if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
    return FileHandle();
  }
  return file;
}

bool writeAll(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<OutputFile> OutputFile::open(const std::string& path, OutputMode mode, TemporaryKind kind) noexcept {
  OutputFile output;
  if (mode == OutputMode::kAppend) {
    output.file_ = openForAppending(path);
    if (!output.file_) return std::nullopt;
    return output;
  }
  if (!mayTakePlaceOf(path)) return std::nullopt;
  if (mode == OutputMode::kRecreate) {
    ::unlink(path.c_str());
    // Exclusive: whatever appeared at the path in the meantime is left alone.
    output.file_ = FileHandle(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!output.file_) return std::nullopt;
    return output;
  }
  const auto [directory, name] = splitPath(path);
  if (name.empty()) return std::nullopt;
  output.replace_ = true;
  output.path_ = path;
  if (kind == TemporaryKind::kUnnamedWhereSupported) {
    output.file_ = FileHandle(::open(directory.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666));
    if (output.file_) return output;
    // Only a file system without unnamed files falls back to a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return std::nullopt;
  }
  removeLeftTemporaries(directory, name);
  for (int attempt = 0; attempt < kMaxNameTries && !output.file_; ++attempt) {
    output.temporary_ = temporaryName(directory, name);
    // Exclusive and never through a link: the name is the program's own.
    output.file_ =
        FileHandle(::open(output.temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!output.file_ && errno != EEXIST) break;
    // Locked for as long as this process lives (where the file system has
    // locks), and still at its name: another run's sweep may have taken it.
    if (output.file_) {
      const bool taken = ::flock(output.file_.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      if (taken || !sameFile(output.temporary_, output.file_.get())) output.file_.reset();
    }
  }
  if (!output.file_) {
    output.temporary_.clear();
    return std::nullopt;
  }
  return output;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(std::move(other.file_)),
      replace_(other.replace_),
      path_(std::move(other.path_)),
      temporary_(std::exchange(other.temporary_, std::string())) {}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() noexcept {
  file_.reset();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  replace_ = false;
}

bool OutputFile::commit() noexcept {
  if (!file_) return false;
  if (::fsync(file_.get()) != 0 && errno != EINVAL) {
    discard();
    return false;
  }
  if (!replace_) return true;
  const auto [directory, name] = splitPath(path_);
  for (int attempt = 0; attempt < kMaxNameTries && temporary_.empty(); ++attempt) {
    std::string candidate = temporaryName(directory, name);
    if (linkUnnamed(file_.get(), candidate))
      temporary_ = std::move(candidate);
    else if (errno != EEXIST)
      break;
  }
  // Something that is no file may have appeared at the path meanwhile: it stays.
  if (temporary_.empty() || !mayTakePlaceOf(path_) || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    discard();
    return false;
  }
  temporary_.clear();
  file_.reset();
  syncDirectory(directory);
  return true;
}

bool OutputFile::setOwnerAndMode(unsigned owner, unsigned group, unsigned mode) noexcept {
  return file_ && ::fchown(file_.get(), owner, group) == 0 && ::fchmod(file_.get(), mode) == 0;
}

}  // namespace sstrxv::platform
