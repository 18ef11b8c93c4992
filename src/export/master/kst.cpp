// Cost-centre file KST: per tenant its active cost centres, each with the
// tenant number and the licence number of the tenant.
#include <string>

#include "export/frame.h"
#include "export/master/master.h"
#include "support/run_state.h"

namespace sstrxv {
namespace {

// cost centre, tenant number, licence number, KstApz, always blank, text, changed by
constexpr LineFormat<7> kKstFormat = {field(30), field(5), field(5), field(7),
                                      field(7),  field(30), field(50)};

// KstNum, KstTxt, KstErf, KstApz
constexpr std::array<std::size_t, 4> kKstColumnFields = {0, 5, 6, 3};
constexpr std::size_t kTenantNumber = 1;
constexpr std::size_t kLicenceNumber = 2;

class KstQuery final : public RecordQuery<7> {
 public:
  KstQuery() : RecordQuery("SQL_Open_Kst", "SQL_Fetch_Kst", kKstFormat) {}

  RC open() noexcept override { return SQL_Open_Kst(); }
  RC fetch() noexcept override {
    record_.clear();
    return SQL_Fetch_Kst();
  }
  void close() noexcept override { SQL_Close_Kst(); }

  bool writeRow(InterfaceFile& file) noexcept override {
    const Tenant& tenant = currentTenant();
    record_[kTenantNumber].assign(tenant.tenantNumber.view());
    record_[kLicenceNumber].assign(tenant.licenceNumber.view());
    file.write(record_);
    return true;
  }

 private:
  RC SQL_Open_Kst() noexcept {
    return openCursor(
        cursor_,
        "SELECT  KstNum, KstTxt, KstErf, KstApz   FROM  %s.O1003KstStelle  WHERE  ((KstSta <> 4 AND KstSta <> 8)           OR KstSta IS NULL)  ORDER BY  KstNum",
        runState().currentSchema.c_str());
  }

  // Every column without its trailing blanks and tabs.
  RC SQL_Fetch_Kst() noexcept {
    Row row;
    const RC fetched = dbFetch(cursor_, row);
    if (fetched != RC_OK) return fetched;
    std::string text;
    for (unsigned column = 0; column < kKstColumnFields.size(); ++column) {
      if (const char* value = row[column]) {
        text.assign(value);
        record_[kKstColumnFields[column]].assign(trimRight(text));
      }
    }
    return RC_OK;
  }

  RC SQL_Close_Kst() noexcept { return dbCloseCursor(cursor_); }
};

}  // namespace

int writeKstFile() noexcept {
  KstQuery query;
  return runWriter(WriterTexts{.tenant = kTenantMessage}, query);
}

}  // namespace sstrxv
