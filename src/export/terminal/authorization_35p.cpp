// Authorization file 35P: one line for every reader and every time-plan
// entry of the reader's control area. The selective writer writes the same
// lines for one control area into mgsst35p_upd.imp.
#include "export/frame.h"
#include "export/selective.h"
#include "export/terminal/terminal.h"

namespace sstrxv {
namespace {

constexpr LineFormat<9> k35pFormat = {
    field(255, "terminal name", "ZLSTRM"),
    field(3, "company", "always 001"),
    field(5, "authorization class", "ZBRZBK"),
    field(2, "reader", "ZLSLES as two digits, leading zero"),
    field(2, "week number", "ZLSLES as two digits, leading zero"),
    field(3, "time plan", "ZBRZBK"),
    field(5, "control area", "ZLSZKO"),
    field(5, "time zone", "ZBRZZZ"),
    field(1, "time booking allowed", "ZBRZTB: 1 when it reads as the integer 1, else 0 (NULL too)"),
};
constexpr int kBookingAllowed = 8;

// Time bookings are allowed only where the flag reads as the integer 1;
// every other value means they are not.
const char* bookingAllowed(Value flag) noexcept { return leadingInteger(flag.view()) == 1 ? "1" : "0"; }

class S35PQuery : public RecordQuery<9> {
 public:
  S35PQuery() : S35PQuery("SQLOpenS35P", "SQLFetchS35P") {}

  RC open(ExportContext& context) noexcept override { return SQLOpenS35P(context); }

 protected:
  S35PQuery(const char* openName, const char* fetchName) : RecordQuery(openName, fetchName, k35pFormat) {}

  void copyRow(const Row& row) override {
    record_.copyColumns(row, ColumnFields<9>{0, 1, 2, 3, 4, 5, 6, 7, kNoField});
    record_[kBookingAllowed].assign(bookingAllowed(row[kBookingAllowed]));
  }

 private:
  RC SQLOpenS35P(ExportContext& context) noexcept {
    return openCursor(
        context.session, cursor_,
        " SELECT DISTINCT  ZLSTRM\t     AS Terminalname, '001'       AS Firma, ZBRZBK     "
        " AS Berechtigungsklasse, lpad(cast(ZLSLES as char),2,'0') AS Leser, lpad(cast(ZLSLES "
        "as char),2,'0') AS Woche_Leser, ZBRZBK      AS Wochenplan, ZLSZKO      AS Kontrollbereich, "
        "ZBRZZZ      AS Zeitzone, COALESCE(ZBRZTB, 0) AS Zeitbuchung_erlaubt  FROM    MVSYSTEM.MVS401ZLS, "
        "MVSYSTEM.MVS402ZKO, MVSYSTEM.MVS404ZBR  WHERE   ZLSZKO = ZKONUM  AND   ZLSZKO = "
        "ZBRZKO  AND   ((ZLSSTA <> 4 AND ZLSSTA <> 8) or ZLSSTA is null)  AND   ((ZKOSTA "
        "<> 4 AND ZKOSTA <> 8) or ZKOSTA is null)  AND   ((ZBRSTA <> 4 AND ZBRSTA <> 8) or "
        "ZBRSTA is null) ");
  }
};

constexpr SelectiveWriter kS35PSelective = {"//mgsst35p_upd.imp",
                                            "SQLOpenS35P_Sel",
                                            "SQLFetchS35P_Sel",
                                            &SelectiveSource::SQLOpenS35P_Sel,
                                            &SelectiveSource::SQLFetchS35P_Sel,
                                            &SelectiveSource::SQLCloseS35P_Sel,
                                            &SelectiveMarks::mgsst35p};

}  // namespace

constexpr FileLayout k35pLayout = {
    .code = "35P",
    .fileName = "MGSST35P",
    .description = "Every reader with every time-plan entry of its control area.",
    .fields = k35pFormat,
    .updateFile = updateFileName(kS35PSelective),
};

WriterResult write35pFile(ExportContext& context) noexcept {
  S35PQuery query;
  return runWriter(context, WriterTexts{}, query);
}

WriterResult Fill_MGSST35P_Upd(SelectiveRun& run, std::string_view controlArea) noexcept {
  SelectiveQuery<S35PQuery> query(run, kS35PSelective, controlArea);
  return query.write(WriterTexts{.start = kControlAreaStart});
}

}  // namespace sstrxv
