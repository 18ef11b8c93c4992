// How the program opens its files on this platform so that no run can be
// turned against the files of another: output files appear whole or not
// at all, nothing is written through a link that another user could have
// planted, and input files are read only when they are regular files of a
// bounded size.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sstrxv::platform {

// The largest settings, SaldoRXV.ini or premium file that is read: far
// above any real one (the premium file of 100,000 badges has about 3 MB).
// A larger file counts as unreadable.
inline constexpr std::size_t kInputFileLimit = std::size_t{64} << 20;

// The whole content of the file at a native path; nothing when it is
// missing, is no regular file (a device, a FIFO, a directory), is larger
// than the limit or cannot be read. Never waits for a writer. Throws only
// std::bad_alloc.
[[nodiscard]] std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit = kInputFileLimit);

// An open file descriptor, closed when it ends.
class FileHandle {
 public:
  FileHandle() noexcept = default;
  explicit FileHandle(int fd) noexcept : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  ~FileHandle() { reset(); }

  [[nodiscard]] int get() const noexcept { return fd_; }
  [[nodiscard]] explicit operator bool() const noexcept { return fd_ >= 0; }
  int release() noexcept;
  void reset() noexcept;

 private:
  int fd_ = -1;
};

// Which links a path walk follows.
enum class LinkRule {
  // Those whose step cannot lead into another user's files: no step goes
  // from a directory or link of an unprivileged user to one of another user
  // (a link of root, and links within one owner's tree, are followed).
  kFollowSafe,
  // None: a link anywhere on the path fails the walk with ELOOP (the
  // monitoring's readers, which look at the files as they are).
  kFollowNone,
};

// A directory opened (O_PATH) one path component at a time, each looked at
// without following it, links followed as the rule says. On failure the
// handle is empty, `error` is the system's error number (0 for an unsafe
// step) and `failure` says why: the system's error text, or the step that
// is unsafe.
struct ResolvedDirectory {
  FileHandle handle;
  std::string failure;
  int error = 0;
};
[[nodiscard]] ResolvedDirectory openDirectory(const std::string& path, LinkRule rule = LinkRule::kFollowSafe) noexcept;

// The directory of a file's path, resolved as openDirectory does, and the
// file's name in it. Every operation on the file goes through the handle,
// so the directory cannot be swapped between the check and the write.
struct PlacedName {
  ResolvedDirectory directory;
  std::string name;
};
[[nodiscard]] PlacedName placeName(const std::string& path) noexcept;

// Why no file can be created in the directory at the path (a scratch file
// is created and removed again), or "" when one can.
[[nodiscard]] std::string creationFailure(const std::string& directoryPath) noexcept;

// Opens a regular file in the directory for appending, creating it when
// missing. A link at the name is never followed, and a file with another
// name (a hard link) is refused, so that no one can point the program's
// writes at another file. A device or FIFO there is refused without waiting.
[[nodiscard]] FileHandle openForAppending(int directory, const std::string& name) noexcept;

// Writes every byte, retrying after an interrupted or partial write.
[[nodiscard]] bool writeAll(int fd, std::string_view bytes) noexcept;

// How an output file takes its path.
enum class OutputMode {
  kReplace,   // a new file that takes the place of the path only when committed
  kRecreate,  // the file at the path is removed and created anew in place
  kAppend,    // appended to, created when missing
};

// Where a replacement is prepared: a temporary file that has no name until
// it is committed (nothing stays behind whatever ends the process), or,
// where the file system has no such files, a hidden file with a name.
enum class TemporaryKind { kUnnamedWhereSupported, kNamed };

// An output file. Whatever is at the path that is neither a regular file
// nor a link (a device, a FIFO, a directory) makes the open fail and is
// never removed or replaced. A link at the path is replaced (kReplace),
// removed (kRecreate) or refused (kAppend); it is never written through.
// A directory that openDirectory refuses makes the open fail. Files are
// created without write permission for others, whatever the umask.
// A replacement is locked by its writer from its creation; hidden ones
// that no writer holds (left by a process that ended between naming and
// committing its file) are removed when the path is next opened.
class OutputFile {
 public:
  [[nodiscard]] static std::optional<OutputFile> open(
      const std::string& path, OutputMode mode, TemporaryKind kind = TemporaryKind::kUnnamedWhereSupported) noexcept;

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  // A replacement that was not committed is removed; the path keeps what it had.
  ~OutputFile();

  [[nodiscard]] bool write(std::string_view bytes) noexcept { return writeAll(file_.get(), bytes); }
  // Gives the file an owner, a group and permission bits before it takes the path.
  [[nodiscard]] bool setOwnerAndMode(unsigned owner, unsigned group, unsigned mode) noexcept;
  // Brings the file to the disk and, for a replacement, puts it in place of
  // the path. False when that fails; the replacement is then removed.
  [[nodiscard]] bool commit() noexcept;
  // Closes the file; a replacement is removed and the path keeps what it had.
  void discard() noexcept;
  [[nodiscard]] bool replaces() const noexcept { return replace_; }

 private:
  OutputFile() noexcept = default;

  FileHandle directory_;  // the directory of the path, resolved once
  FileHandle file_;
  bool replace_ = false;
  std::string name_;       // the name a replacement takes in the directory
  std::string temporary_;  // the name of a named replacement while it is prepared
};

}  // namespace sstrxv::platform
