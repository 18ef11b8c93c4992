#include "export/interface_file.h"

#include <unistd.h>

#include "support/platform.h"

namespace sstrxv {
namespace {
constexpr std::size_t kWriteBufferBytes = 1 << 18;
}

std::optional<InterfaceFile> InterfaceFile::create(const std::string& path) noexcept {
  // unlink, not remove: a directory at the path is never deleted; opening
  // it then fails like any other open.
  ::unlink(platform::nativePath(path).c_str());
  return open(path, "w");
}

std::optional<InterfaceFile> InterfaceFile::openForAppending(const std::string& path) noexcept {
  return open(path, "a");
}

std::optional<InterfaceFile> InterfaceFile::open(const std::string& path, const char* mode) noexcept {
  try {
    InterfaceFile file;
    file.buffer_.resize(kWriteBufferBytes);
    file.line_.reserve(1024);
    file.file_.reset(std::fopen(platform::nativePath(path).c_str(), mode));
    if (!file.file_) return std::nullopt;
    std::setvbuf(file.file_.get(), file.buffer_.data(), _IOFBF, file.buffer_.size());
    return file;
  } catch (...) {
    return std::nullopt;  // no memory for the buffers
  }
}

void InterfaceFile::writeLine() noexcept {
  if (!file_ || std::fwrite(line_.data(), 1, line_.size(), file_.get()) != line_.size()) {
    writeFailed_ = true;
  }
}

bool InterfaceFile::close() && noexcept {
  if (!file_) return false;  // closed before
  if (std::fclose(file_.release()) != 0) writeFailed_ = true;
  return !writeFailed_;
}

}  // namespace sstrxv
