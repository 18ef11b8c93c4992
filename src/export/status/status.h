// Writers of the employee status files.
#pragma once

namespace sstrxv {

struct ExportContext;

[[nodiscard]] int writeMstFile(ExportContext& context) noexcept;
[[nodiscard]] int writeMdtFile(ExportContext& context) noexcept;
[[nodiscard]] int writeFcdFile(ExportContext& context) noexcept;

}  // namespace sstrxv
