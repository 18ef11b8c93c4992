// Cost-centre file KST: per tenant its active cost centres, each with the
// tenant number and the licence number of the tenant.
#include <string>

#include "export/frame.h"
#include "export/master/master.h"

namespace sstrxv {
namespace {

// The tenant number stands before the licence number here, the reverse of
// the tenant and holiday files.
constexpr LineFormat<7> kKstFormat = {
    field(30, "cost-centre number", "KstNum without trailing blanks and tabs"),
    field(5, "tenant number", "tenant number of the tenant"),
    field(5, "licence number", "licence number of the tenant"),
    field(7, "workplace", "KstApz without trailing blanks and tabs"),
    field(7, "reserved", "always blank"),
    field(30, "cost-centre text", "KstTxt without trailing blanks and tabs"),
    field(50, "changed by", "KstErf without trailing blanks and tabs"),
};

// KstNum, KstTxt, KstErf, KstApz
constexpr ColumnFields<4> kKstColumnFields = {0, 5, 6, 3};
constexpr std::size_t kTenantNumber = 1;
constexpr std::size_t kLicenceNumber = 2;

class KstQuery final : public RecordQuery<7> {
 public:
  KstQuery() : RecordQuery("SQL_Open_Kst", "SQL_Fetch_Kst", kKstFormat, TenantFields{kLicenceNumber, kTenantNumber}) {}

  // SQL_Close_Kst is the common close.
  RC open(ExportContext& context) noexcept override { return SQL_Open_Kst(context); }

 protected:
  // SQL_Fetch_Kst: every column without its trailing blanks and tabs.
  void copyRow(const Row& row) override {
    std::string text;
    for (unsigned column = 0; column < kKstColumnFields.size(); ++column) {
      if (const Value value = row[column]) {
        text.assign(value.view());
        record_[static_cast<std::size_t>(kKstColumnFields[column])].assign(trimRight(text));
      }
    }
  }

 private:
  RC SQL_Open_Kst(ExportContext& context) noexcept {
    return openCursor(context.session, cursor_,
                      "SELECT  KstNum, KstTxt, KstErf, KstApz   FROM  %s.O1003KstStelle  WHERE  ((KstSta <> 4 AND "
                      "KstSta <> 8)           OR KstSta IS NULL)  ORDER BY  KstNum",
                      context.schema());
  }
};

}  // namespace

constexpr FileLayout kKstLayout = {
    .code = "KST",
    .fileName = "Kostenst",
    .description = "The cost centres of every tenant whose status is not 4 or 8, by number.",
    .fields = kKstFormat,
};

WriterResult writeKstFile(ExportContext& context) noexcept {
  KstQuery query;
  return runWriter(context, WriterTexts{.tenant = kTenantMessage}, query);
}

}  // namespace sstrxv
