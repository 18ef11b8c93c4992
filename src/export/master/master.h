// Writers of the master-data files, and the selective writers of the badge
// and authorization-class files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

int writeMndFile(ExportContext& context) noexcept;
int writeIdnFile(ExportContext& context) noexcept;
int writeKstFile(ExportContext& context) noexcept;
int writeBklFile(ExportContext& context) noexcept;
int writeFtgFile(ExportContext& context) noexcept;

// The badge lines of one badge number, into idstamm_upd.imp beside the path.
int Fill_IDSTAMM_Upd(SelectiveRun& run, std::string_view badgeNumber) noexcept;
// The class lines of one badge number, into aswbkl_upd.imp beside the path;
// the classes delivered are added to selectedClasses.
int Fill_AswBklUpd(SelectiveRun& run, std::string_view badgeNumber,
                   std::vector<std::string>& selectedClasses) noexcept;

}  // namespace sstrxv
