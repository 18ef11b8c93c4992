#include "export/interface_file.h"

#include "support/platform.h"

namespace sstrxv {
namespace {
constexpr std::size_t kWriteBufferBytes = 1 << 18;
}

bool InterfaceFile::create(const std::string& path) noexcept {
  std::remove(platform::nativePath(path).c_str());
  return open(path, "w");
}

bool InterfaceFile::openForAppending(const std::string& path) noexcept { return open(path, "a"); }

bool InterfaceFile::open(const std::string& path, const char* mode) noexcept {
  close();
  writeFailed_ = false;
  try {
    file_.reset(std::fopen(platform::nativePath(path).c_str(), mode));
    if (!file_) return false;
    buffer_.resize(kWriteBufferBytes);
    line_.reserve(1024);
  } catch (...) {
    return file_ != nullptr;
  }
  std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
  return true;
}

bool InterfaceFile::close() noexcept {
  if (!file_) return !writeFailed_;
  if (std::fclose(file_.release()) != 0) writeFailed_ = true;
  return !writeFailed_;
}

}  // namespace sstrxv
