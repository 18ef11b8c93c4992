// Writers of the master-data files, and the selective writers of the badge
// and authorization-class files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/writer_result.h"

namespace sstrxv {

struct ExportContext;
struct FileLayout;
struct SelectiveRun;

// The line formats of the files, for the format reference.
extern const FileLayout kMndLayout;
extern const FileLayout kIdnLayout;  // also idstamm_upd.imp
extern const FileLayout kKstLayout;
extern const FileLayout kBklLayout;  // also aswbkl_upd.imp
extern const FileLayout kFtgLayout;

[[nodiscard]] WriterResult writeMndFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult writeIdnFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult writeKstFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult writeBklFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult writeFtgFile(ExportContext& context) noexcept;

// The badge lines of one badge number, into idstamm_upd.imp beside the path.
[[nodiscard]] WriterResult Fill_IDSTAMM_Upd(SelectiveRun& run, std::string_view badgeNumber) noexcept;
// The class lines of one badge number, into aswbkl_upd.imp beside the path;
// the classes delivered are added to selectedClasses.
[[nodiscard]] WriterResult Fill_AswBklUpd(SelectiveRun& run, std::string_view badgeNumber,
                                          std::vector<std::string>& selectedClasses) noexcept;

}  // namespace sstrxv
