#include "support/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace sstrxv::platform {
namespace {

constexpr int kMaxNameTries = 100;
constexpr std::size_t kTemporaryLetters = 6;
// Links followed in one path at most, as the kernel allows.
constexpr int kMaxLinks = 40;
// Every file the program creates: never writable by others, whatever the
// umask; the rest as the umask gives.
constexpr mode_t kCreationMode = 0664;

// The directory part of a path ("." for a bare name) and the name in it.
std::pair<std::string, std::string> splitPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// True when nothing is at the name, or a regular file or a link: the only
// things an output file may take the place of.
bool mayTakePlaceOf(int directory, const std::string& name) noexcept {
  struct stat status {};
  if (::fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode) || S_ISLNK(status.st_mode);
}

// The start of the hidden names beside a file: ".IDN.imp.". A long name is
// shortened so that the hidden name, with its letters, fits the longest
// name a directory holds.
std::string temporaryPrefix(std::string_view name) {
  const std::size_t room = NAME_MAX - kTemporaryLetters - 2;
  return "." + std::string(name.substr(0, room)) + ".";
}

// 64 random bits from the kernel, without waiting (getrandom, else
// /dev/urandom). Should neither give them, the clock, the process and the
// stack's place mixed: a name so guessed fails an exclusive creation, which
// is tried again with new bits, and never lets a write go elsewhere.
std::uint64_t randomBits() noexcept {
  std::uint64_t bits = 0;
  for (int tries = 0; tries < 3; ++tries) {
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) return bits;
    if (errno != EINTR) break;
  }
  const FileHandle urandom(::open("/dev/urandom", O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (urandom && ::read(urandom.get(), &bits, sizeof bits) == static_cast<ssize_t>(sizeof bits)) return bits;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  bits = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
         (static_cast<std::uint64_t>(::getpid()) << 44) ^ reinterpret_cast<std::uintptr_t>(&now);
  // splitmix64's finaliser spreads every input bit over the result
  bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9u;
  bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBu;
  return bits ^ (bits >> 31);
}

// A hidden name beside the file that no other file has yet: ".IDN.imp.k3Xa9Q".
std::string temporaryName(std::string_view name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  constexpr std::uint64_t kLetterCount = sizeof kLetters - 1;
  std::uint64_t random = randomBits();  // 62^6 of its 2^64 values: about 36 random bits per name
  std::string result = temporaryPrefix(name);
  for (std::size_t i = 0; i < kTemporaryLetters; ++i, random /= kLetterCount) result += kLetters[random % kLetterCount];
  return result;
}

// Gives an unnamed file the name `target` in the directory; false when the
// name is taken or the file cannot be linked.
bool linkUnnamed(int fd, int directory, const std::string& target) {
  if (::linkat(fd, "", directory, target.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), directory, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool sameFile(int directory, const std::string& name, int fd) noexcept {
  struct stat named {};
  struct stat opened {};
  return ::fstatat(directory, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// The directory itself, opened for reading (a resolved handle may only name it).
FileHandle readable(int directory) noexcept {
  return FileHandle(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Removes the hidden temporaries of the name that a process left when it
// ended at once: a temporary is locked by its writer from its creation, so
// one that can be locked has no writer any more. Only regular files are
// opened and removed.
void removeLeftTemporaries(int directory, const std::string& name) {
  FileHandle listed = readable(directory);
  if (!listed) return;
  const std::unique_ptr<DIR, int (*)(DIR*)> entries(::fdopendir(listed.get()), ::closedir);
  if (!entries) return;
  static_cast<void>(listed.release());  // closed with the listing
  const std::string prefix = temporaryPrefix(name);
  while (const dirent* entry = ::readdir(entries.get())) {
    const std::string entryName = entry->d_name;
    if (entryName.size() != prefix.size() + kTemporaryLetters || !entryName.starts_with(prefix)) continue;
    struct stat status {};
    if (::fstatat(directory, entryName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)) {
      continue;
    }
    const FileHandle left(
        ::openat(directory, entryName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (left && ::fstat(left.get(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::flock(left.get(), LOCK_EX | LOCK_NB) == 0 && sameFile(directory, entryName, left.get())) {
      ::unlinkat(directory, entryName.c_str(), 0);
    }
  }
}

void syncDirectory(int directory) noexcept {
  const FileHandle handle = readable(directory);
  if (handle) static_cast<void>(::fsync(handle.get()));
}

// A step of a path walk from one thing to the next that could lead another
// user's way: from a directory or link of an unprivileged user to anything
// of another user. Steps from root's are safe.
bool unsafeStep(const struct stat& from, const struct stat& to) noexcept {
  return from.st_uid != 0 && from.st_uid != to.st_uid;
}

std::string joined(const std::string& walked, std::string_view component) {
  if (walked.empty()) return std::string(component);
  return walked.ends_with('/') ? walked + std::string(component) : walked + "/" + std::string(component);
}

ResolvedDirectory failed(int error) {
  ResolvedDirectory result;
  result.failure = std::strerror(error);
  result.error = error;
  return result;
}

ResolvedDirectory unsafe(const std::string& fromName, const struct stat& from, const std::string& toName,
                         const struct stat& to) {
  ResolvedDirectory result;
  result.failure = "unsafe: " + fromName + " (owner " + std::to_string(from.st_uid) + ") leads to " + toName +
                   " (owner " + std::to_string(to.st_uid) + ")";
  return result;
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

ResolvedDirectory openDirectory(const std::string& path, LinkRule rule) noexcept {
  std::string todo = path.empty() ? std::string(".") : path;
  const bool absolute = todo.front() == '/';
  FileHandle current(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat from {};
  if (!current || ::fstat(current.get(), &from) != 0) return failed(errno);
  std::string walked = absolute ? "/" : "";  // the path as walked so far, for the failure text
  std::string fromName = absolute ? "/" : ".";
  int links = 0;
  std::size_t at = 0;
  for (;;) {
    while (at < todo.size() && todo[at] == '/') ++at;
    if (at == todo.size()) break;
    const std::size_t end = std::min(todo.find('/', at), todo.size());
    const std::string component = todo.substr(at, end - at);
    at = end;
    if (component == ".") continue;
    const std::string name = joined(walked, component);
    // Never through a link: what is at the name is looked at first.
    FileHandle next(::openat(current.get(), component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!next || ::fstat(next.get(), &status) != 0) return failed(errno);
    if (rule == LinkRule::kFollowNone) {
      if (S_ISLNK(status.st_mode)) return failed(ELOOP);
    } else if (unsafeStep(from, status)) {
      return unsafe(fromName, from, name, status);
    }
    if (S_ISLNK(status.st_mode)) {
      if (++links > kMaxLinks) return failed(ELOOP);
      std::string target(PATH_MAX, '\0');
      const ssize_t length = ::readlinkat(next.get(), "", target.data(), target.size());
      if (length < 0) return failed(errno);
      if (length == 0) return failed(ENOENT);
      if (static_cast<std::size_t>(length) == target.size()) return failed(ENAMETOOLONG);
      target.resize(static_cast<std::size_t>(length));
      // The target is walked from the link: its first step is the link's.
      from = status;
      fromName = name;
      if (target.front() == '/') {
        current = FileHandle(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat root {};
        if (!current || ::fstat(current.get(), &root) != 0) return failed(errno);
        if (unsafeStep(from, root)) return unsafe(fromName, from, "/", root);
        from = root;
        fromName = walked = "/";
      }
      todo = target + todo.substr(at);
      at = 0;
      continue;
    }
    if (!S_ISDIR(status.st_mode)) return failed(ENOTDIR);
    current = std::move(next);
    from = status;
    walked = fromName = name;
  }
  ResolvedDirectory result;
  result.handle = std::move(current);
  return result;
}

PlacedName placeName(const std::string& path) noexcept {
  auto [directory, name] = splitPath(path);
  PlacedName placed;
  placed.directory = openDirectory(directory);
  placed.name = std::move(name);
  return placed;
}

std::string creationFailure(const std::string& directoryPath) noexcept {
  const ResolvedDirectory directory = openDirectory(directoryPath);
  if (!directory.handle) return directory.failure;
  for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
    const std::string scratch = temporaryName("sstrxv-check");
    const FileHandle file(
        ::openat(directory.handle.get(), scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file) {
      ::unlinkat(directory.handle.get(), scratch.c_str(), 0);
      return {};
    }
    if (errno != EEXIST) return std::strerror(errno);
  }
  return std::strerror(EEXIST);
}

FileHandle openForAppending(int directory, const std::string& name) noexcept {
  FileHandle file(::openat(directory, name.c_str(),
                           O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                           kCreationMode));
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
  PlacedName placed = placeName(path);
  if (!placed.directory.handle || placed.name.empty()) return std::nullopt;
  OutputFile output;
  output.directory_ = std::move(placed.directory.handle);
  output.name_ = std::move(placed.name);
  const int directory = output.directory_.get();
  const char* name = output.name_.c_str();
  if (mode == OutputMode::kAppend) {
    output.file_ = openForAppending(directory, output.name_);
    if (!output.file_) return std::nullopt;
    return output;
  }
  if (!mayTakePlaceOf(directory, output.name_)) return std::nullopt;
  if (mode == OutputMode::kRecreate) {
    ::unlinkat(directory, name, 0);
    // Exclusive: whatever appeared at the name in the meantime is left alone.
    output.file_ =
        FileHandle(::openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCreationMode));
    if (!output.file_) return std::nullopt;
    return output;
  }
  output.replace_ = true;
  removeLeftTemporaries(directory, output.name_);
  if (kind == TemporaryKind::kUnnamedWhereSupported) {
    output.file_ = FileHandle(::openat(directory, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, kCreationMode));
    if (output.file_) {
      // Locked before it gets its hidden name at the commit, so that no
      // sweep takes it then; no one else can reach it before.
      static_cast<void>(::flock(output.file_.get(), LOCK_EX | LOCK_NB));
      return output;
    }
    // Only a file system without unnamed files falls back to a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return std::nullopt;
  }
  for (int attempt = 0; attempt < kMaxNameTries && !output.file_; ++attempt) {
    output.temporary_ = temporaryName(output.name_);
    // Exclusive and never through a link: the name is the program's own.
    output.file_ = FileHandle(::openat(directory, output.temporary_.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCreationMode));
    if (!output.file_ && errno != EEXIST) break;
    // Locked for as long as this process lives (where the file system has
    // locks), and still at its name: another run's sweep may have taken it.
    if (output.file_) {
      const bool taken = ::flock(output.file_.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      if (taken || !sameFile(directory, output.temporary_, output.file_.get())) output.file_.reset();
    }
  }
  if (!output.file_) {
    output.temporary_.clear();
    return std::nullopt;
  }
  return output;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : directory_(std::move(other.directory_)),
      file_(std::move(other.file_)),
      replace_(other.replace_),
      name_(std::move(other.name_)),
      temporary_(std::exchange(other.temporary_, std::string())) {}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() noexcept {
  file_.reset();
  if (!temporary_.empty()) ::unlinkat(directory_.get(), temporary_.c_str(), 0);
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
  const int directory = directory_.get();
  for (int attempt = 0; attempt < kMaxNameTries && temporary_.empty(); ++attempt) {
    std::string candidate = temporaryName(name_);
    if (linkUnnamed(file_.get(), directory, candidate))
      temporary_ = std::move(candidate);
    else if (errno != EEXIST)
      break;
  }
  // Something that is no file may have appeared at the name meanwhile: it stays.
  if (temporary_.empty() || !mayTakePlaceOf(directory, name_) ||
      ::renameat(directory, temporary_.c_str(), directory, name_.c_str()) != 0) {
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
