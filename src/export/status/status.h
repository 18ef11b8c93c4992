// Writers of the employee status files.
#pragma once

namespace sstrxv {

struct ExportContext;
struct FileLayout;

// The line formats of the files, for the format reference.
extern const FileLayout kMstLayout;
extern const FileLayout kMdtLayout;
extern const FileLayout kFcdLayout;

[[nodiscard]] int writeMstFile(ExportContext& context) noexcept;
[[nodiscard]] int writeMdtFile(ExportContext& context) noexcept;
[[nodiscard]] int writeFcdFile(ExportContext& context) noexcept;

}  // namespace sstrxv
