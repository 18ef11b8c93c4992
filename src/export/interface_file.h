// The interface file a writer produces: written through a large buffer,
// one line at a time from a reused line buffer.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace sstrxv {

class InterfaceFile {
 public:
  // Removes the file (a failed removal is ignored) and creates it empty.
  bool create(const std::string& path) noexcept;
  // Opens the file for appending; it is created when missing.
  bool openForAppending(const std::string& path) noexcept;
  // Closes the file. Returns false when any line could not be written
  // completely (disk full, file too large, ...).
  bool close() noexcept;
  [[nodiscard]] bool isOpen() const noexcept { return file_ != nullptr; }

  // Formats a record as one line and writes it.
  template <typename RecordType>
  void write(const RecordType& record) noexcept {
    line_.clear();
    try {
      record.appendLineTo(line_);
    } catch (...) {
      return;
    }
    if (std::fwrite(line_.data(), 1, line_.size(), file_.get()) != line_.size()) writeFailed_ = true;
  }

 private:
  bool open(const std::string& path, const char* mode) noexcept;

  struct Closer {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
  };
  std::vector<char> buffer_;  // before file_: the stream flushes into it when closed
  std::unique_ptr<std::FILE, Closer> file_;
  std::string line_;
  bool writeFailed_ = false;
};

}  // namespace sstrxv
