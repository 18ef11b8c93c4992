// Tenant file MND: one line per row of the system tenant table.
#include "export/frame.h"
#include "export/master/master.h"

namespace sstrxv {
namespace {

constexpr LineFormat<6> kMndFormat = {
    field(5, "licence number", "MNDLIZ"),
    field(5, "tenant number", "MNDNUM"),
    field(50, "tenant name", "MNDNA1"),
    field(5, "status", "MNDSTA"),
    field(14, "change date", "MNDDAT as YYYYMMDDhhmmss"),
    field(50, "changed by", "MNDERF"),
};

class MndQuery final : public RecordQuery<6> {
 public:
  MndQuery() : RecordQuery("SQLOpen112Mnd", "SQLFetch112Mnd", kMndFormat) {}

  RC open(ExportContext& context) noexcept override {
    return openCursor(context.session, cursor_,
                      " SELECT DISTINCT  MNDLIZ   \t     AS Mnd_Lizenz,  MNDNUM          AS Mnd_Nr, MNDNA1          AS "
                      "Mnd_Bezeichnung,  MNDSTA          AS Mnd_Status,  date_format(MNDDAT,'%%Y%%m%%d%%H%%i%%s')  AS "
                      "Aenderungsdatum,  MNDERF          AS Aenderung_durch  FROM MVSYSTEM.MVS112MND ");
  }
};

}  // namespace

constexpr FileLayout kMndLayout = {
    .code = "MND",
    .fileName = "MNDSTAMM",
    .description =
        "Every row of the system tenant table, also the tenants that the other files leave out "
        "(MNDKON not 0, no schema); equal rows once.",
    .fields = kMndFormat,
};

WriterResult writeMndFile(ExportContext& context) noexcept {
  MndQuery query;
  return runWriter(context, WriterTexts{}, query);
}

}  // namespace sstrxv
