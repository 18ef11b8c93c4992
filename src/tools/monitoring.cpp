#include "tools/monitoring.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "support/text.h"

namespace sstrxv::monitoring {
namespace {

constexpr std::size_t kReadChunk = std::size_t{64} << 10;

// Opens the regular file name in dir for reading, without following a link
// and without opening anything else (a device could act on being opened).
platform::FileHandle openRegular(int dir, const std::string& name, struct stat& status, FileState& state) noexcept {
  state = FileState::kMissing;
  if (name.empty() || name == "." || name == "..") {
    state = FileState::kNotRegular;
    return {};
  }
  if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    state = errno == ENOENT ? FileState::kMissing : FileState::kUnreadable;
    return {};
  }
  state = FileState::kNotRegular;
  if (!S_ISREG(status.st_mode)) return {};
  platform::FileHandle file(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const struct stat seen = status;
  if (!file) {
    if (errno != ELOOP) state = errno == ENOENT ? FileState::kMissing : FileState::kUnreadable;
    return {};
  }
  // Replaced between the look and the open: whatever is there now is not the file looked at.
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_dev != seen.st_dev ||
      status.st_ino != seen.st_ino) {
    return {};
  }
  state = FileState::kRegular;
  return file;
}

FileState directoryState(int error) noexcept {
  if (error == ENOENT) return FileState::kMissing;
  return error == ELOOP ? FileState::kLinkOnTheWay : FileState::kUnreadable;
}

}  // namespace

platform::FileHandle openDirectory(const std::string& path) noexcept {
  platform::ResolvedDirectory resolved = platform::openDirectory(path, platform::LinkRule::kFollowNone);
  errno = resolved.error;
  return std::move(resolved.handle);
}

FileCount countFile(const std::string& path) noexcept {
  FileCount count;
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const platform::FileHandle dir = openDirectory(directory);
  if (!dir) {
    count.state = directoryState(errno);
    return count;
  }
  struct stat status {};
  const platform::FileHandle file = openRegular(dir.get(), name, status, count.state);
  if (!file) return count;
  count.modified = status.st_mtim;
  std::array<char, kReadChunk> buffer;
  auto left = static_cast<std::uint64_t>(status.st_size);
  while (left > 0) {
    const ssize_t got =
        ::read(file.get(), buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, kReadChunk)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      count.state = FileState::kUnreadable;
      return count;
    }
    if (got == 0) break;
    const auto size = static_cast<std::size_t>(got);
    for (const char *at = buffer.data(), *end = at + size;
         (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)))) != nullptr; ++at) {
      ++count.lines;
    }
    count.bytes += size;
    left -= size;
  }
  return count;
}

std::optional<std::string> readSmallFile(int dir, const std::string& name, std::size_t limit) {
  struct stat status {};
  FileState state{};
  const platform::FileHandle file = openRegular(dir, name, status, state);
  if (!file || static_cast<std::uint64_t>(status.st_size) > limit) return std::nullopt;
  std::string content(limit + 1, '\0');
  std::size_t have = 0;
  while (have < content.size()) {
    const ssize_t got = ::read(file.get(), content.data() + have, content.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  if (have > limit) return std::nullopt;
  content.resize(have);
  return content;
}

bool replaceFile(int dir, const std::string& name, std::string_view content, mode_t mode) noexcept {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  constexpr int kAttempts = 16;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::array<unsigned char, 6> random{};
    if (::getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) return false;
    std::string temporary = "." + name + ".";
    for (const unsigned char byte : random) temporary += kLetters[byte % kLetters.size()];
    platform::FileHandle file(
        ::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode));
    if (!file && errno == EEXIST) continue;
    if (!file) return false;
    bool done = ::fchmod(file.get(), mode) == 0 && platform::writeAll(file.get(), content) && ::fsync(file.get()) == 0;
    done = ::close(file.release()) == 0 && done;
    done = done && ::renameat(dir, temporary.c_str(), dir, name.c_str()) == 0;
    if (!done) {
      const int error = errno;
      ::unlinkat(dir, temporary.c_str(), 0);
      errno = error;
    }
    return done;
  }
  return false;
}

bool isInstanceName(std::string_view name) noexcept {
  constexpr std::size_t kLongest = 200;
  if (name.empty() || name.size() > kLongest || name.front() == '.') return false;
  for (const char c : name) {
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && std::string_view(":-_.\\").find(c) == std::string_view::npos) return false;
  }
  return true;
}

std::string shownName(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F) || c == '|') {
      appendFormat(shown, "\\x%02X", byte);
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace sstrxv::monitoring
