#include "export/interface_file.h"

#include "support/platform.h"

namespace sstrxv {

std::optional<InterfaceFile> InterfaceFile::open(const std::string& path, platform::OutputMode mode) noexcept {
  std::optional<platform::OutputFile> output = platform::OutputFile::open(platform::nativePath(path), mode);
  if (!output) return std::nullopt;
  std::optional<InterfaceFile> file(InterfaceFile(std::move(*output)));
  file->buffer_.reserve(kFlushBytes + 1024);
  return file;
}

void InterfaceFile::flush() noexcept {
  if (!failed_ && file_ && !file_->write(buffer_)) failed_ = true;
  buffer_.clear();
}

bool InterfaceFile::close() && noexcept {
  flush();
  if (failed_) return false;
  failed_ = file_ && !file_->commit();
  return !failed_;
}

void InterfaceFile::drop() && noexcept {
  buffer_.clear();
  if (file_) file_->discard();
}

void InterfaceFile::abandon() && noexcept {
  if (file_ && !file_->replaces()) {
    static_cast<void>(std::move(*this).close());
    return;
  }
  buffer_.clear();
  if (file_) file_->discard();
}

}  // namespace sstrxv
