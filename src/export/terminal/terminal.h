// Writers of the terminal schedule files: time plans (20P), authorizations
// (35P) and time zones (41P) of every reader of every terminal.
#pragma once

namespace sstrxv {

int write20pFile() noexcept;
int write35pFile() noexcept;
int write41pFile() noexcept;

}  // namespace sstrxv
