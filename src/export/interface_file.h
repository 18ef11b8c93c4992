// The interface file a writer produces: written through a large buffer,
// one line at a time from a reused line buffer. An InterfaceFile exists
// only as an open file: it is made by create or openForAppending.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sstrxv {

class InterfaceFile {
 public:
  // Removes the file (a failed removal is ignored) and creates it empty;
  // nothing when it cannot be opened.
  [[nodiscard]] static std::optional<InterfaceFile> create(const std::string& path) noexcept;
  // Opens the file for appending; it is created when missing.
  [[nodiscard]] static std::optional<InterfaceFile> openForAppending(const std::string& path) noexcept;

  InterfaceFile(InterfaceFile&&) noexcept = default;
  // No assignment: the stream writes into the buffer it was given.
  InterfaceFile& operator=(InterfaceFile&&) = delete;
  ~InterfaceFile() = default;

  // Formats a record as one line and writes it. A line that cannot be
  // built or written marks the file as failed.
  template <typename RecordType>
  void write(const RecordType& record) noexcept {
    line_.clear();
    try {
      record.appendLineTo(line_);
    } catch (...) {
      writeFailed_ = true;
      return;
    }
    writeLine();
  }

  // Closes the file. Returns false when any line could not be written
  // completely (disk full, file too large, no memory for a line).
  [[nodiscard]] bool close() && noexcept;

 private:
  InterfaceFile() = default;
  [[nodiscard]] static std::optional<InterfaceFile> open(const std::string& path, const char* mode) noexcept;
  void writeLine() noexcept;

  struct Closer {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
  };
  std::vector<char> buffer_;  // before file_: the stream flushes into it when closed
  std::unique_ptr<std::FILE, Closer> file_;
  std::string line_;
  bool writeFailed_ = false;
};

}  // namespace sstrxv
