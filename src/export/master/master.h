// Writers of the master-data files.
#pragma once

namespace sstrxv {

int writeMndFile() noexcept;
int writeIdnFile() noexcept;
int writeKstFile() noexcept;
int writeBklFile() noexcept;
int writeFtgFile() noexcept;

}  // namespace sstrxv
