// Employee status file MST: per tenant every status period of a person that
// ends on or after the cut-off, with the holder's badge (or the tenant and
// personnel number when the person has none), the period, the function-code
// texts, the cost centre and the department on the period's first day.
#include <string>
#include <string_view>
#include <utility>

#include "export/frame.h"
#include "export/status/status.h"

namespace sstrxv {
namespace {

constexpr LineFormat<13> kMstFormat = {
    field(5, "licence number", "licence number of the tenant"),
    field(5, "tenant number", "tenant number of the tenant"),
    field(13, "badge number", "AswNum of the person's badge; without badge the tenant number, _ and PnrNum"),
    field(1, "status", "BvfGen mapped: 8, 11, 12 -> 4; 9, 14, 15 -> 7; 10 -> 3; 13 -> 6; any other as stored"),
    field(23, "period",
          "BvfVon and BvfBis as dd.mm.yyyy joined by ' - ' with + (where the server's + adds numbers: their sum)"),
    field(33, "function-code text", "FcdTxt of the period's function code"),
    field(33, "status description", "one blank"),
    field(1, "function-code short text", "FcdKrt of the period's function code"),
    field(50, "cost-centre number", "BvfKst"),
    field(8, "start date", "BvfVon as dd.mm.yy"),
    field(30, "department", "ZuoAbt of the department assignment valid on the period's first day"),
    field(4, "reserved 1", "always blank"),
    field(3, "reserved 2", "always blank"),
};

// badge, Status and Von (both below), VonBis, FcdTxt, Statusbesch, FcdKrt,
// BvfKst, ZuoAbt; BvfUh1 is not taken over
constexpr ColumnFields<10> kMstColumnFields = {2, kNoField, 4, 5, 6, 7, 8, kNoField, 10, kNoField};
constexpr unsigned kStatusColumn = 1;
constexpr unsigned kStartDateColumn = 7;
constexpr std::size_t kLicenceNumber = 0;
constexpr std::size_t kTenantNumber = 1;
constexpr std::size_t kStatus = 3;
constexpr std::size_t kStartDate = 9;

// The one-digit status the terminals take, by the status stored; other
// values are written as delivered.
constexpr std::pair<long, std::string_view> kTerminalStatus[] = {{8, "4"},  {9, "7"},  {10, "3"}, {11, "4"},
                                                                 {12, "4"}, {13, "6"}, {14, "7"}, {15, "7"}};

std::string_view terminalStatus(std::string_view delivered) noexcept {
  const long value = leadingInteger(delivered);
  for (const auto& [stored, written] : kTerminalStatus) {
    if (stored == value) return written;
  }
  return delivered;
}

// The start date "dd.mm.yyyy" fits its eight columns as "dd.mm.yy"; any
// other value is cut to the field.
std::string shortStartDate(std::string_view date) {
  constexpr std::string_view kForm = "99.99.9999";
  bool dated = date.size() == kForm.size();
  for (std::size_t i = 0; dated && i < kForm.size(); ++i) {
    dated = kForm[i] == '9' ? date[i] >= '0' && date[i] <= '9' : date[i] == kForm[i];
  }
  if (!dated) return std::string(date);
  return std::string(date.substr(0, 6)).append(date.substr(8));
}

class MstQuery final : public RecordQuery<13> {
 public:
  MstQuery() : RecordQuery("SQLOpenMst", "SQLFetchMst", kMstFormat, TenantFields{kLicenceNumber, kTenantNumber}) {}

  // SQLCloseMst is the common close.
  RC open(ExportContext& context) noexcept override { return SQLOpenMst(context); }

 protected:
  // SQLFetchMst: the columns into their fields, the status mapped and the
  // start date shortened; a NULL status leaves a blank.
  void copyRow(const Row& row) override {
    record_.copyColumns(row, kMstColumnFields);
    if (const Value status = row[kStatusColumn]) record_[kStatus].assign(terminalStatus(status.view()));
    if (const Value start = row[kStartDateColumn]) record_[kStartDate].assign(shortStartDate(start.view()));
  }

 private:
  // The tenant number names persons without badge; it goes in escaped.
  RC SQLOpenMst(ExportContext& context) noexcept {
    const char* schema = context.schema();
    return openCursor(
        context.session, cursor_,
        "SELECT DISTINCT COALESCE(AswNum, '%s'||'_'||PnrNum), BvfGen as Status, date_format(BvfVon , '%%d.%%m.%%Y') + "
        "' - ' +  date_format(BvfBis , '%%d.%%m.%%Y') as VonBis, FcdTxt, ' ' as Statusbesch, FcdKrt, BvfKst, "
        "date_format(BvfVon , '%%d.%%m.%%Y') Von, ZuoAbt, date_format(BvfUh1 , '%%HH24.%%MI.%%SS') as BvfUh1 FROM "
        "%s.mvs382bvf,%s.mvs131fcd,%s.mvs311zuo,      %s.mvs300pnr LEFT JOIN mvsystem.mvs301asw ON PnrNum = AswPnr     "
        " AND  AswGvo <= getdate()      AND (AswGvo >= getdate()-1 OR AswGbi is NULL) WHERE  PnrNum = BvfPnr AND  "
        "BvfFc1 = FcdNum AND  BvfBis >= DATE_ADD(DATE_ADD(SYSDATE(),INTERVAL - 15 month), INTERVAL - DAS(SYSDATE())+1 "
        "day) AND  BvfGen < 16 AND  FcdKrt is not null and Fcdkrt > ' ' AND  PnrNum = ZuoPnr AND  ZuoGvo <= BvfVon AND "
        "(ZuoGbi IS NULL OR ZuoGbi >= BvfVon) ORDER by AswNum, Von ",
        context.quoted(context.tenant->tenantNumber.view()).c_str(), schema, schema, schema, schema);
  }
};

}  // namespace

constexpr FileLayout kMstLayout = {
    .code = "MST",
    .fileName = "Mitarbeiterstatus",
    .description =
        "Every status period below 16 of every person that ends on or after the cut-off fifteen "
        "months back, tenant by tenant, by badge and start date.",
    .fields = kMstFormat,
};

WriterResult writeMstFile(ExportContext& context) noexcept {
  MstQuery query;
  return runWriter(context,
                   WriterTexts{.openFailure = "Oeffnen der Datei %s fehlgeschlagen.", .tenant = kTenantMessage}, query);
}

}  // namespace sstrxv
