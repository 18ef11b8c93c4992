// Tenant file MND: one line per row of the system tenant table.
#include "export/frame.h"
#include "export/master/master.h"

namespace sstrxv {
namespace {

// licence number, tenant number, name, status, change date, changed by
constexpr LineFormat<6> kMndFormat = {field(5), field(5), field(50), field(5), field(14), field(50)};

class MndQuery final : public RecordQuery<6> {
 public:
  MndQuery() : RecordQuery("SQLOpen112Mnd", "SQLFetch112Mnd", kMndFormat) {}

  RC open(ExportContext& context) noexcept override {
    return openCursor(context.session, cursor_, " SELECT DISTINCT  MNDLIZ   \t     AS Mnd_Lizenz,  MNDNUM          AS Mnd_Nr, MNDNA1          AS Mnd_Bezeichnung,  MNDSTA          AS Mnd_Status,  date_format(MNDDAT,'%%Y%%m%%d%%H%%i%%s')  AS Aenderungsdatum,  MNDERF          AS Aenderung_durch  FROM MVSYSTEM.MVS112MND ");
  }
};

}  // namespace

int writeMndFile(ExportContext& context) noexcept {
  MndQuery query;
  return runWriter(context, WriterTexts{}, query);
}

}  // namespace sstrxv
