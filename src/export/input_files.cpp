#include "export/input_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/platform.h"

namespace sstrxv {
namespace {

// Where the program looks for a file: its absolute path.
std::string lookedFor(std::string_view path, ShowValue show) {
  const std::string native = platform::nativePath(path);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(native, error);
  return show((error ? std::filesystem::path(native) : absolute.lexically_normal()).string());
}

}  // namespace

std::string shownPath(std::string_view path, ShowValue show) { return show(platform::nativePath(path)); }

bool existsAt(std::string_view path) noexcept {
  std::error_code error;
  return std::filesystem::exists(platform::nativePath(path), error);
}

std::string unreadableReason(std::string_view path, ShowValue show) {
  const std::string native = platform::nativePath(path);
  if (!existsAt(path)) return "missing (looked for " + lookedFor(path, show) + ")";
  std::error_code error;
  if (!std::filesystem::is_regular_file(native, error)) return "not a regular file";
  if (access(native.c_str(), R_OK) != 0) return std::strerror(errno);
  return {};
}

}  // namespace sstrxv
