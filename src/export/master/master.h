// Writers of the master-data files.
#pragma once

namespace sstrxv {

int writeMndFile() noexcept;

}  // namespace sstrxv
