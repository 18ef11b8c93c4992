// The result of a writer, as the driver's attempt loop receives it.
#pragma once

#include <concepts>
#include <utility>

#include "db/runtime.h"

namespace sstrxv {

// What a writer came to. The driver's attempt loop decides on it; the
// numbers are those a selective run logs for a failed writer.
enum class [[nodiscard]] WriterResult : int{
    kOk = 0,
    kFileError = 1,
    kDbError = 2,
    // A statement reached its length limit: the writer ended at once, with
    // nothing more logged or written, and the run ends with exit code 1.
    kStatementTooLong = 4,
};

// The one translation of a database operation's RC into a writer's result:
// RC_OK is kOk; RC_STATEMENT_TOO_LONG is kStatementTooLong and reports
// nothing, since the run ends at once; any other RC is kDbError, after
// report() has logged it (a report that logs nothing: the caller has
// logged the failure already, or passes it over).
template <std::invocable Report>
[[nodiscard]] WriterResult writerResult(RC rc, Report&& report) noexcept {
  if (rc == RC_OK) return WriterResult::kOk;
  if (rc == RC_STATEMENT_TOO_LONG) return WriterResult::kStatementTooLong;
  std::forward<Report>(report)();
  return WriterResult::kDbError;
}

}  // namespace sstrxv
