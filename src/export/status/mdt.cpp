// Employee detail file MDT: per tenant one line per badge and calendar day
// on which a status period of the badge holder covers a working day (a day
// record whose working-time model has a target time).
#include <string_view>
#include <utility>

#include "export/frame.h"
#include "export/status/status.h"

namespace sstrxv {
namespace {

constexpr LineFormat<9> kMdtFormat = {
    field(5, "licence number", "licence number of the tenant"),
    field(5, "tenant number", "tenant number of the tenant"),
    field(13, "badge number", "AswNum"),
    field(10, "date", "BvkVon, the calendar date, as dd.mm.yyyy"),
    field(33, "function-code text", "FcdTxt of the period's function code"),
    field(33, "status description", "one blank"),
    field(1, "status", "BvfGen mapped: 2, 3 as stored; 5 -> 2; 7, 9, 10 -> 3; any other (NULL too) -> 0"),
    field(1, "function-code short text", "FcdKrt of the period's function code"),
    field(3, "reserved", "always blank"),
};

// BakDtm, AswNum, FcdTxt, ' ', BvfGen (mapped below), FcdKrt
constexpr ColumnFields<6> kMdtColumnFields = {3, 2, 4, 5, kNoField, 7};
constexpr unsigned kStatusColumn = 4;
constexpr std::size_t kLicenceNumber = 0;
constexpr std::size_t kTenantNumber = 1;
constexpr std::size_t kStatus = 6;

constexpr TenantMessage kMdtTenantMessage = "Schema: %s  Lizenz: %s  Mandant: %s";

// The status in the form the terminals take: 2 and 3 as delivered, these
// by the status stored, anything else (NULL too) 0.
constexpr std::pair<long, std::string_view> kTerminalStatus[] = {{5, "2"}, {7, "3"}, {9, "3"}, {10, "3"}};

std::string_view terminalStatus(std::string_view delivered) noexcept {
  const long value = leadingInteger(delivered);
  if (value == 2 || value == 3) return delivered;
  for (const auto& [stored, written] : kTerminalStatus) {
    if (stored == value) return written;
  }
  return "0";
}

class MdtQuery final : public RecordQuery<9> {
 public:
  MdtQuery() : RecordQuery("SQLOpenMdt", "SQLFetchMdt", kMdtFormat, TenantFields{kLicenceNumber, kTenantNumber}) {}

  // SQLCloseMdt is the common close.
  RC open(ExportContext& context) noexcept override { return SQLOpenMdt(context); }

 protected:
  // SQLFetchMdt: the columns into their fields, the status mapped.
  void copyRow(const Row& row) override {
    record_.copyColumns(row, kMdtColumnFields);
    record_[kStatus].assign(terminalStatus(row[kStatusColumn].view()));
  }

 private:
  RC SQLOpenMdt(ExportContext& context) noexcept {
    const char* schema = context.schema();
    return openCursor(
        context.session, cursor_,
        "SELECT DISTINCT date_format(BvkVon , '%%d.%%m.%%Y') as BakDtm, AswNum,  FcdTxt, ' ', BvfGen, FcdKrt FROM "
        "%s.Mvs382Bvf, MVSYSTEM.Mvs301Asw, %s.Mvs131Fcd, MVSYSTEM.Mvs133Bak WHERE AswGvo <= curdate() AND  (AswGbi >= "
        "curdate OR AswGbi is null) AND   AswPnr = BvfPnr AND   BvfGen in (2,3,5,7,9,10) AND   BvfBis >= "
        "DATE_ADD(DATE_ADD(SYSDATE(),INTERVAL - 15 month), INTERVAL - DAS(SYSDATE())+1 day)AND   BvfFc1 = FcdNum AND   "
        "BakDtm >= BvfVon and BakDtm <= BvfBis AND   FcdKrt is not null and Fcdkrt > ' ' AND   EXISTS (select ztgvon "
        "from %s.Mvs329Ztg, %s.Mvs140Azv where  ztgpnr = bvfpnr and    ztgvon = bakdtm and    ztgazt = azvnum and    "
        "azvgvo <= ztgvon and   (azvgbi is null or azvgbi <= ztgvon) and    azvsol > 0) ORDER BY AswNum, BakDtm",
        schema, schema, schema, schema);
  }
};

}  // namespace

constexpr FileLayout kMdtLayout = {
    .code = "MDT",
    .fileName = "Mitarbeiterdetail",
    .description =
        "One line per badge valid today and working day inside a status period of its holder "
        "(status 2, 3, 5, 7, 9 or 10), tenant by tenant, by badge and date.",
    .fields = kMdtFormat,
};

WriterResult writeMdtFile(ExportContext& context) noexcept {
  MdtQuery query;
  return runWriter(context, WriterTexts{.tenant = kMdtTenantMessage}, query);
}

}  // namespace sstrxv
