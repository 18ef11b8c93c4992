// The frame every writer runs in: the life of the output file, the start,
// failure and closing messages, the result code, and the walk over the
// tenants for file types whose data lives in the tenant schemas.
#pragma once

#include "db/runtime.h"
#include "export/interface_file.h"
#include "export/record.h"
#include "support/text.h"

namespace sstrxv {

enum WriterResult : int {
  WRITER_OK = 0,
  WRITER_FILE_ERROR = 1,
  WRITER_DB_ERROR = 2,
  WRITER_NO_MEMORY = 3,
};

// A writer as the driver calls it.
using Writer = int (*)() noexcept;

// One row of the system tenant table. The values are kept whole (up to the
// longest name the server allows) because they are keys of further
// statements; the lines cut them to their fields.
struct Tenant {
  static constexpr std::size_t kCapacity = 64;
  BoundedText licenceNumber{kCapacity};  // MNDLIZ
  BoundedText tenantNumber{kCapacity};   // MNDNUM
  BoundedText schemaName{kCapacity};     // MNDSCH; checked before it is used
  BoundedText location{kCapacity};       // MNDSTO
  void clear() noexcept;
};

Tenant& currentTenant() noexcept;

// The frame messages of one writer.
struct WriterTexts {
  const char* openFailure = "Oeffnen der Datei %s fehlgeschlagen";
  const char* start = "Importdatei : %s fuellen...";
  const char* tenant = nullptr;  // set: the writer walks the tenants
};

inline constexpr const char* kTenantMessage = "Schema:%s Lizenz:%s Mandant:%s";

// How a writer reads its rows and turns them into lines. The frame calls
// open once (per tenant inside the tenant loop) and then produceLines.
class WriterQuery {
 public:
  WriterQuery(const char* openName, const char* fetchName) noexcept
      : openName_(openName), fetchName_(fetchName) {}
  virtual ~WriterQuery() = default;
  WriterQuery(const WriterQuery&) = delete;
  WriterQuery& operator=(const WriterQuery&) = delete;

  // Formats and runs the writer's statement.
  virtual RC open() noexcept = 0;
  // Clears the record and fetches the next row into it.
  virtual RC fetch() noexcept = 0;
  virtual void close() noexcept = 0;
  // The steps for one fetched row, ending with its line. Returns false
  // after a failure, which it has logged; the row loop then stops.
  virtual bool writeRow(InterfaceFile& file) noexcept = 0;

  // The row loop: fetch, write, until the rows are exhausted or a failure
  // ends it; then the cursor is closed. Returns false after a failure.
  // Writers with nested cursors replace it.
  virtual bool produceLines(InterfaceFile& file) noexcept;

  [[nodiscard]] const char* openName() const noexcept { return openName_; }
  [[nodiscard]] const char* fetchName() const noexcept { return fetchName_; }

 private:
  const char* openName_;
  const char* fetchName_;
};

// The common shape: one cursor and one record. By default a fetch copies
// the columns in select order into the record's fields and every row
// becomes one line; writers override what differs.
template <std::size_t N>
class RecordQuery : public WriterQuery {
 public:
  RecordQuery(const char* openName, const char* fetchName, const LineFormat<N>& format)
      : WriterQuery(openName, fetchName), record_(format) {}

  RC fetch() noexcept override {
    record_.clear();
    Row row;
    const RC rc = dbFetch(cursor_, row);
    if (rc == RC_OK) copyRow(row);
    return rc;
  }
  void close() noexcept override { dbCloseCursor(cursor_); }
  bool writeRow(InterfaceFile& file) noexcept override {
    file.write(record_);
    return true;
  }

 protected:
  // The copy rule for one fetched row.
  virtual void copyRow(const Row& row) { record_.copyAllColumns(row); }

  // The licence and tenant number of the tenant being walked into their fields.
  void copyTenant(std::size_t licenceField, std::size_t tenantField) {
    const Tenant& tenant = currentTenant();
    record_[licenceField].assign(tenant.licenceNumber.view());
    record_[tenantField].assign(tenant.tenantNumber.view());
  }

  Cursor cursor_;
  Record<N> record_;
};

// Logs "Fehler in Fkt. <operation>(). RC: <rc>".
void logDbFailure(const char* operation, RC rc) noexcept;

// Runs one whole-file writer into interfaceFilePath; returns its writerResult.
int runWriter(const WriterTexts& texts, WriterQuery& query) noexcept;

// The tenant cursor.
RC SQLOpenMvs112Mnd() noexcept;
RC SQLFetchMvs112Mnd(Tenant& tenant) noexcept;
RC SQLCloseMvs112Mnd() noexcept;

}  // namespace sstrxv
