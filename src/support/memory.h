// What happens when memory runs out: the process ends at once.
#pragma once

namespace sstrxv {

// The exit code of a process that ran out of memory: the file could not be
// written.
inline constexpr int kNoMemoryExitCode = 99;

// From now on an allocation that fails ends the process with
// kNoMemoryExitCode and a message on standard error, instead of throwing:
// no allocation in this process throws, so functions that allocate may be
// noexcept. Nothing is logged or written after it; an interface file being
// written has no name yet and goes with the process.
void endProcessWhenMemoryRunsOut() noexcept;

}  // namespace sstrxv
