// Writer of the balance file SLD.
#pragma once

#include "export/writer_result.h"

namespace sstrxv {

struct ExportContext;
class InterfaceFile;
class SaldoRecord;

// One line per currently valid badge of every tenant: the badge, its
// holder's balances and the flexible display fields of SaldoRXV.ini.
[[nodiscard]] WriterResult writeSaldoFile(ExportContext& context) noexcept;

// Writes the 431 columns of the record's fields, "x" and the line end.
// A line that cannot be written marks the file as failed.
void writeSaldoLine(InterfaceFile& file, const SaldoRecord& record) noexcept;

}  // namespace sstrxv
