// Time-zone file 41P: for every reader and every time-plan entry of the
// reader's control area that applies on one of the seven days from today
// on, the zone's window on that weekday. The selective writer writes the
// same lines for one control area into mgsst41p_upd.imp.
#include "export/frame.h"
#include "export/selective.h"
#include "export/terminal/terminal.h"

namespace sstrxv {
namespace {

constexpr LineFormat<8> k41pFormat = {
    field(255, "terminal name", "ZLSTRM"),     field(3, "company", "always 001"),
    field(3, "time plan", "ZBRZBK"),           field(2, "week number", "ZLSLES as two digits, leading zero"),
    field(5, "time zone", "ZBRZZZ"),           field(1, "weekday", "BAKWTG, the weekday number"),
    field(4, "window from", "ZUZVON as HHMM"), field(4, "window until", "ZUZBIS as HHMM"),
};

class S41PQuery : public RecordQuery<8> {
 public:
  S41PQuery() : S41PQuery("SQLOpenS41P", "SQLFetchS41P") {}

  RC open(ExportContext& context) noexcept override { return SQLOpenS41P(context); }

 protected:
  S41PQuery(const char* openName, const char* fetchName) : RecordQuery(openName, fetchName, k41pFormat) {}

 private:
  RC SQLOpenS41P(ExportContext& context) noexcept {
    return openCursor(context.session, cursor_,
                      " SELECT DISTINCT  ZLSTRM  AS Terminalname, '001'   AS Firma, ZBRZBK  AS Zeitplan, "
                      "lpad(cast(ZLSLES as char),2,'0') AS Wochennummer, ZBRZZZ  AS Zeitzone, BAKWTG  AS "
                      "Tagnr, lpad((ZUZVON DIV 60) * 100 + MOD(ZUZVON, 60),4,'0') AS Uhrzeit_Von,  lpad((ZUZBIS "
                      "DIV 60) * 100 + MOD(ZUZBIS, 60),4,'0') AS Uhrzeit_Bis  FROM  MVSYSTEM.MVS401ZLS, "
                      "MVSYSTEM.MVS402ZKO, MVSYSTEM.MVS404ZBR, MVSYSTEM.MVS402ZUZ, MVSYSTEM.MVS133KAL, "
                      "MVSYSTEM.MVS133BAK  WHERE ZLSZKO =  ZKONUM  AND  ZLSZKO =  ZBRZKO  AND  ZBRZZZ = "
                      " ZUZNUM  AND  ZKOKAL =  KALNUM  AND  ZBRTTP =  KALTTP  AND date_format(KALDTM,'%%y%%m%%d') "
                      ">= date_format(SYSDATE(),'%%y%%m%%d')  AND  KALDTM <= DATE_ADD(SYSDATE(),INTERVAL "
                      "+ 6 day )  AND  KALDTM =  BAKDTM  AND  ((ZLSSTA <> 4 AND ZLSSTA <> 8) or ZLSSTA "
                      "is null)  AND  ((ZKOSTA <> 4 AND ZKOSTA <> 8) or ZKOSTA is null)  AND  ((ZBRSTA "
                      "<> 4 AND ZBRSTA <> 8) or ZBRSTA is null)  AND  ((ZUZSTA <> 4 AND ZUZSTA <> 8) or "
                      "ZUZSTA is null)  ORDER BY Terminalname, Firma, Zeitplan, Wochennummer, Tagnr, Uhrzeit_Von ");
  }
};

constexpr SelectiveWriter kS41PSelective = {"//mgsst41p_upd.imp",
                                            "SQLOpenS41P_Sel",
                                            "SQLFetchS41P_Sel",
                                            &SelectiveSource::SQLOpenS41P_Sel,
                                            &SelectiveSource::SQLFetchS41P_Sel,
                                            &SelectiveSource::SQLCloseS41P_Sel,
                                            &SelectiveMarks::mgsst41p};

}  // namespace

constexpr FileLayout k41pLayout = {
    .code = "41P",
    .fileName = "MGSST41P",
    .description =
        "Every time-plan entry of every reader's control area on the weekdays of the seven days "
        "from today on whose day type it has, with its zone's window.",
    .fields = k41pFormat,
    .updateFile = updateFileName(kS41PSelective),
};

WriterResult write41pFile(ExportContext& context) noexcept {
  S41PQuery query;
  return runWriter(context, WriterTexts{}, query);
}

// Its start is logged only with /D.
WriterResult Fill_MGSST41P_Upd(SelectiveRun& run, std::string_view controlArea) noexcept {
  SelectiveQuery<S41PQuery> query(run, kS41PSelective, controlArea);
  return query.write(WriterTexts{.start = kControlAreaStart}, run.debug);
}

}  // namespace sstrxv
