// The result of a writer, as the driver's attempt loop receives it.
#pragma once

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

}  // namespace sstrxv
