// Function-code file FCD: per tenant every function code that has a short
// text (an empty one counts), ordered by number.
#include "export/frame.h"
#include "export/status/status.h"

namespace sstrxv {
namespace {

constexpr LineFormat<7> kFcdFormat = {
    field(5, "licence number", "licence number of the tenant"),
    field(5, "tenant number", "tenant number of the tenant"),
    field(3, "function-code number", "FcdNum"),
    field(2, "function-code short text", "FcdKrt"),
    field(50, "function-code text", "FcdTxt"),
    field(5, "function-code type", "FcdTyp"),
    field(5, "linked function code", "FcdFcd; -9 when empty or NULL"),
};

// FcdNum, FcdKrt, FcdTxt, FcdTyp, FcdFcd
constexpr ColumnFields<5> kFcdColumnFields = {2, 3, 4, 5, 6};
constexpr std::size_t kLicenceNumber = 0;
constexpr std::size_t kTenantNumber = 1;
constexpr std::size_t kTerminalCode = 6;

class FcdQuery final : public RecordQuery<7> {
 public:
  FcdQuery() : RecordQuery("SQLOpenFcd", "SQLFetchFcd", kFcdFormat, TenantFields{kLicenceNumber, kTenantNumber}) {}

  // SQLCloseFcd is the common close.
  RC open(ExportContext& context) noexcept override { return SQLOpenFcd(context); }

 protected:
  // SQLFetchFcd: the five columns into their fields; a code without
  // terminal code is shown as "-9".
  void copyRow(const Row& row) override {
    record_.copyColumns(row, kFcdColumnFields);
    if (record_[kTerminalCode].empty()) record_[kTerminalCode].assign("-9");
  }

 private:
  RC SQLOpenFcd(ExportContext& context) noexcept {
    return openCursor(
        context.session, cursor_,
        "SELECT FcdNum, FcdKrt, FcdTxt, FcdTyp, FcdFcd FROM %s.MVs131Fcd WHERE FcdKrt is not null ORDER BY FcdNum",
        context.schema());
  }
};

}  // namespace

constexpr FileLayout kFcdLayout = {
    .code = "FCD",
    .fileName = "Funktionscodes",
    .description = "Every function code with a short text (an empty one counts) of every tenant, by number.",
    .fields = kFcdFormat,
};

WriterResult writeFcdFile(ExportContext& context) noexcept {
  FcdQuery query;
  return runWriter(context, WriterTexts{.tenant = kTenantMessage}, query);
}

}  // namespace sstrxv
