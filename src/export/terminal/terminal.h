// Writers of the terminal schedule files: time plans (20P), authorizations
// (35P) and time zones (41P) of every reader of every terminal; and their
// selective writers for the readers of one control area.
#pragma once

#include <string_view>

#include "export/writer_result.h"

namespace sstrxv {

struct ExportContext;
struct FileLayout;
struct SelectiveRun;

// The line formats of the files, for the format reference; each is also
// the format of its update file (mgsst20p_upd.imp, ...).
extern const FileLayout k20pLayout;
extern const FileLayout k35pLayout;
extern const FileLayout k41pLayout;

[[nodiscard]] WriterResult write20pFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult write35pFile(ExportContext& context) noexcept;
[[nodiscard]] WriterResult write41pFile(ExportContext& context) noexcept;

// The lines of one control area, into mgsst20p_upd.imp, mgsst35p_upd.imp
// and mgsst41p_upd.imp beside the path.
[[nodiscard]] WriterResult Fill_MGSST20P_Upd(SelectiveRun& run, std::string_view controlArea) noexcept;
[[nodiscard]] WriterResult Fill_MGSST35P_Upd(SelectiveRun& run, std::string_view controlArea) noexcept;
[[nodiscard]] WriterResult Fill_MGSST41P_Upd(SelectiveRun& run, std::string_view controlArea) noexcept;

}  // namespace sstrxv
