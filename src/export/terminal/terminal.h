// Writers of the terminal schedule files: time plans (20P), authorizations
// (35P) and time zones (41P) of every reader of every terminal.
#pragma once

namespace sstrxv {

struct ExportContext;

int write20pFile(ExportContext& context) noexcept;
int write35pFile(ExportContext& context) noexcept;
int write41pFile(ExportContext& context) noexcept;

}  // namespace sstrxv
