#include "support/platform.h"

#include <csignal>
#include <ctime>

namespace sstrxv::platform {

std::string nativePath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

void ignoreFileSizeSignal() noexcept { std::signal(SIGXFSZ, SIG_IGN); }

std::string localTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string stamp(31, '\0');
  stamp.resize(std::strftime(stamp.data(), stamp.size() + 1, "%Y-%m-%d %H:%M:%S", &local));
  return stamp;
}

}  // namespace sstrxv::platform
