// Writers of the master-data files.
#pragma once

namespace sstrxv {

struct ExportContext;

int writeMndFile(ExportContext& context) noexcept;
int writeIdnFile(ExportContext& context) noexcept;
int writeKstFile(ExportContext& context) noexcept;
int writeBklFile(ExportContext& context) noexcept;
int writeFtgFile(ExportContext& context) noexcept;

}  // namespace sstrxv
