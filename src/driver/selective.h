// Selective creation: a 14-character selection key names a badge download
// job; for every badge of the job the badge and class lines are written,
// and for every control area that the badge's classes reach the time-plan,
// authorization and time-zone lines, all into the "_upd" files beside the
// path.
#pragma once

#include <string_view>

#include "export/selective.h"

namespace sstrxv {

inline constexpr std::size_t kSelectionKeyLength = 14;

// Runs one selective creation for the key. Returns kOk when done, kDbError
// when a database operation failed, or the result of the writer whose
// failure ended it (kStatementTooLong without any further message).
[[nodiscard]] WriterResult Fill_SelAswDnl(SelectiveRun& run, std::string_view selectionKey) noexcept;

}  // namespace sstrxv
