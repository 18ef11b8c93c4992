#include "support/descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace sstrxv {

void openClosedStandardDescriptors() noexcept {
  for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
    if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is the closed one: open takes it.
    const int opened = ::open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != descriptor) ::close(opened);
  }
}

}  // namespace sstrxv
