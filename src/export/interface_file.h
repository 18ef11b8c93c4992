// The interface file a writer produces: its lines are built one after the
// other into one reused buffer, which goes to the file in large writes. An
// InterfaceFile exists only as an open file: it is made by open.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "support/files.h"

namespace sstrxv {

class InterfaceFile {
 public:
  // Opens the file at a path written with backslash separators. A whole-file
  // writer's file (kReplace) takes the place of the path only when it is
  // closed without failure. Nothing when the file cannot be opened.
  [[nodiscard]] static std::optional<InterfaceFile> open(const std::string& path, platform::OutputMode mode) noexcept;
  // A file whose lines are built and go nowhere: the set-up check runs a
  // writer for its statements only.
  [[nodiscard]] static InterfaceFile discarding() noexcept { return InterfaceFile(std::nullopt); }

  InterfaceFile(InterfaceFile&&) noexcept = default;
  InterfaceFile& operator=(InterfaceFile&&) = delete;
  ~InterfaceFile() = default;

  // Formats a record as one line and writes it. A line that cannot be
  // written marks the file as failed; nothing is written after that.
  template <typename RecordType>
  void write(const RecordType& record) noexcept {
    if (failed_) return;
    record.appendLineTo(buffer_);
    if (buffer_.size() >= kFlushBytes) flush();
  }

  // True once a line could not be written (disk full, file too large).
  [[nodiscard]] bool failed() const noexcept { return failed_; }

  // Writes what is left and closes the file; a whole-file writer's file then
  // takes the place of the path. Returns false when any line could not be
  // written; the path then keeps what it had before.
  [[nodiscard]] bool close() && noexcept;
  // Ends a failed attempt: a whole-file writer's file is dropped, so the
  // path keeps what it had before; an update file keeps the lines written.
  void abandon() && noexcept;
  // Ends the writer at once: the lines not yet written go nowhere, and a
  // whole-file writer's file with them.
  void drop() && noexcept;

 private:
  static constexpr std::size_t kFlushBytes = std::size_t{1} << 18;

  explicit InterfaceFile(std::optional<platform::OutputFile>&& file) noexcept : file_(std::move(file)) {}
  void flush() noexcept;

  std::optional<platform::OutputFile> file_;  // nothing: the lines go nowhere
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace sstrxv
