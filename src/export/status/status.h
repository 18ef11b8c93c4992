// Writers of the employee status files.
#pragma once

#include "export/writer_result.h"

namespace sstrxv {

struct ExportContext;
struct FileLayout;

// The line formats of the files, for the format reference.
extern const FileLayout kMstLayout;
extern const FileLayout kMdtLayout;
extern const FileLayout kFcdLayout;

[[nodiscard]] WriterResult writeMstFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult writeMdtFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult writeFcdFile(ExportContext& context) noexcept;

}  // namespace sstrxv
