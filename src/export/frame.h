// The frame every writer runs in: the life of the output file, the start,
// failure and closing messages, the result code, and the walk over the
// tenants for file types whose data lives in the tenant schemas.
#pragma once

#include <optional>
#include <string>

#include "db/runtime.h"
#include "export/context.h"
#include "export/interface_file.h"
#include "export/record.h"
#include "export/writer_result.h"
#include "support/log.h"
#include "support/text.h"

namespace sstrxv {

// A whole-file writer as the driver calls it.
using Writer = WriterResult (*)(ExportContext& context) noexcept;

using PathMessage = MessageFormat<1>;
using StartMessage = MessageFormat<1, 2>;  // the path, and a selective writer's key
using TenantMessage = MessageFormat<3>;    // schema, licence number, tenant number

inline constexpr TenantMessage kTenantMessage = "Schema:%s Lizenz:%s Mandant:%s";

// The frame messages of one writer.
struct WriterTexts {
  PathMessage openFailure = "Oeffnen der Datei %s fehlgeschlagen";
  StartMessage start = "Importdatei : %s fuellen...";
  std::optional<TenantMessage> tenant = std::nullopt;  // set: the writer walks the tenants
};

// Where the lines go. Whole-file writers replace the command line's path
// with a file that appears only when it was written whole; the selective
// writers recreate their own file on the first call of the process and
// append to it on every later call.
struct OutputTarget {
  std::string path;
  platform::OutputMode mode = platform::OutputMode::kReplace;
  std::string key;       // second text of the start message (selective writers)
  bool logStart = true;  // some selective writers log their start only with /D
};

// Logs "Fehler in Fkt. <operation>(). RC: <rc>".
void logDbFailure(Env& env, const char* operation, RC rc) noexcept;
// writerResult with the usual report of a failed operation: kStatementTooLong,
// without a message, for a statement that reached its limit; otherwise the
// failure is logged under the operation's name and the result is kDbError.
[[nodiscard]] WriterResult dbFailure(Env& env, const char* operation, RC rc) noexcept;

// How a writer reads its rows and turns them into lines. The frame calls
// open once (per tenant inside the tenant loop) and then produceLines; the
// hooks let a writer add its own steps at fixed points of the frame.
class WriterQuery {
 public:
  WriterQuery(const char* openName, const char* fetchName) noexcept : openName_(openName), fetchName_(fetchName) {}
  virtual ~WriterQuery() = default;
  WriterQuery(const WriterQuery&) = delete;
  WriterQuery& operator=(const WriterQuery&) = delete;

  // Formats and runs the writer's statement.
  [[nodiscard]] virtual RC open(ExportContext& context) noexcept = 0;
  // Clears the record and fetches the next row into it.
  [[nodiscard]] virtual RC fetch(ExportContext& context) noexcept = 0;
  virtual void close() noexcept = 0;
  // The steps for one fetched row, ending with its line. Anything but
  // kOk ends the row loop; a database failure has been logged (kDbError).
  virtual WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept = 0;

  // The row loop: fetch, write, until the rows are exhausted or a failure
  // ends it (a failed write to the file among them: kFileError); then the
  // cursor is closed.
  virtual WriterResult produceLines(ExportContext& context, InterfaceFile& file) noexcept;

  // After the start message, before the first cursor is opened.
  virtual void afterStart(ExportContext&) noexcept {}
  // Inside the tenant walk: after the tenant message, before the writer's
  // cursor is opened; and after the tenant's rows (also after a failure).
  virtual void beginTenant(ExportContext&) noexcept {}
  virtual void endTenant(ExportContext&) noexcept {}
  // Reports a failed fetch of the writer's cursor.
  virtual void reportFetchFailure(ExportContext& context, RC rc) noexcept { logDbFailure(context.env, fetchName_, rc); }

  [[nodiscard]] const char* openName() const noexcept { return openName_; }
  [[nodiscard]] const char* fetchName() const noexcept { return fetchName_; }

 private:
  const char* openName_;
  const char* fetchName_;
};

// The fields of a record that show the licence and tenant number of the
// tenant being walked.
struct TenantFields {
  std::size_t licence;
  std::size_t tenant;
};

// A query that takes its rows from one step, nextRow. A selective writer
// replaces that step to read a selective cursor instead and keeps the rest
// of its full writer (SelectiveQuery, export/selective.h).
class RowQuery : public WriterQuery {
 public:
  using WriterQuery::WriterQuery;

 protected:
  // The next row of the query's cursor.
  [[nodiscard]] virtual RC nextRow(Row& row) noexcept = 0;
};

// The common shape: one cursor and one record. By default a fetch copies
// the columns in select order into the record's fields and every row
// becomes one line, with the walked tenant's numbers in its tenant fields
// when it has them; writers override what differs.
template <std::size_t N>
class RecordQuery : public RowQuery {
 public:
  RecordQuery(const char* openName, const char* fetchName, const LineFormat<N>& format,
              std::optional<TenantFields> tenantFields = std::nullopt)
      : RowQuery(openName, fetchName), record_(format), tenantFields_(tenantFields) {}

  RC fetch(ExportContext&) noexcept override {
    record_.clear();
    Row row;
    const RC rc = nextRow(row);
    if (rc == RC_OK) copyRow(row);
    return rc;
  }
  void close() noexcept override { dbCloseCursor(cursor_); }
  WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept override {
    copyTenant(context);
    file.write(record_);
    return WriterResult::kOk;
  }

 protected:
  // The next row of the writer's cursor (a selective writer reads another cursor).
  RC nextRow(Row& row) noexcept override { return dbFetch(cursor_, row); }
  // The copy rule for one fetched row.
  virtual void copyRow(const Row& row) { record_.copyAllColumns(row); }

  // The licence and tenant number of the tenant being walked into the
  // record's tenant fields.
  void copyTenant(const ExportContext& context) {
    if (!tenantFields_ || context.tenant == nullptr) return;
    record_[tenantFields_->licence].assign(context.tenant->licenceNumber.view());
    record_[tenantFields_->tenant].assign(context.tenant->tenantNumber.view());
  }

  Cursor cursor_;
  Record<N> record_;
  std::optional<TenantFields> tenantFields_;
};

// Runs one whole-file writer into the context's interfaceFilePath; returns
// its writerResult.
[[nodiscard]] WriterResult runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query) noexcept;
// The same into another output (the selective writers' files).
[[nodiscard]] WriterResult runWriter(ExportContext& context, const WriterTexts& texts, WriterQuery& query,
                                     const OutputTarget& target) noexcept;

}  // namespace sstrxv
