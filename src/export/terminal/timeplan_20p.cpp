// Time-plan file 20P: for every reader and every weekday of the seven days
// from today on, the opening windows of that day. Three cursors nest: the
// readers with their weekdays, the time zones of one weekday, the windows of
// one zone. The selective writer writes the same lines for the readers of
// one control area into mgsst20p_upd.imp.
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/lookup.h"
#include "export/frame.h"
#include "export/selective.h"
#include "export/terminal/terminal.h"

namespace sstrxv {
namespace {

constexpr LineFormat<6> k20pFormat = {
    field(255, "terminal name", "ZLSTRM"),
    field(2, "reader", "ZLSLES as two digits, leading zero"),
    field(1, "weekday", "BAKWTG, the weekday number"),
    field(5, "time zone", "ZBRZZZ; blank in the one line of a weekday without zones"),
    field(4, "window from", "ZUZVON of the zone's window as HHMM; blank in that line"),
    field(4, "window until", "ZUZBIS of the zone's window as HHMM; blank in that line"),
};
enum Field20p : int { kTerminal, kReader, kWeekday, kZone, kOpenFrom, kOpenTo };

// How a weekday whose zones cannot be read is reported: the whole-file
// writer names its outer fetch; the selective writer names the zone fetch
// and does not take 1032 for a failure.
struct ZoneOpenFailure {
  const char* name;
  bool noRowsIsNoFailure;
};
constexpr ZoneOpenFailure kWholeFileZoneOpen = {"SQLFetchS20P", false};
constexpr ZoneOpenFailure kSelectiveZoneOpen = {"SQLFetchS20PTagesPlan", true};

class S20PQuery : public RowQuery {
 public:
  // The outer cursor is reported under its fetch's name, also when it
  // cannot be opened.
  S20PQuery() : S20PQuery("SQLFetchS20P", "SQLFetchS20P", kWholeFileZoneOpen, true) {}

  RC open(ExportContext& context) noexcept override { return SQLOpenS20P(context); }
  RC fetch(ExportContext&) noexcept override { return SQLFetchS20P(); }
  void close() noexcept override { SQLCloseS20P(); }
  // The zones and windows of one reader's weekday, each window one line.
  WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept override;

 protected:
  // The whole-file writer remembers the windows of each zone statement
  // for the run; the selective writer sends every one.
  S20PQuery(const char* openName, const char* fetchName, const ZoneOpenFailure& zoneOpenFailure,
            bool rememberWindows = false)
      : RowQuery(openName, fetchName),
        record_(k20pFormat),
        zoneOpenFailure_(zoneOpenFailure),
        rememberWindows_(rememberWindows) {}
  // The next (terminal, reader, weekday) of the outer cursor.
  RC nextRow(Row& row) noexcept override { return dbFetch(dayCursor_, row); }

 private:
  RC SQLOpenS20P(ExportContext& context) noexcept;
  RC SQLFetchS20P() noexcept;
  RC SQLCloseS20P() noexcept { return dbCloseCursor(dayCursor_); }
  RC SQLOpenS20PTagesPlan(ExportContext& context) noexcept;
  RC SQLFetchS20PTagesPlan() noexcept;
  RC SQLCloseS20PTagesPlan() noexcept { return dbCloseCursor(zoneCursor_); }
  RC SQLOpenS20PUhrZeit(ExportContext& context) noexcept;
  RC SQLFetchS20PUhrZeit() noexcept;
  RC SQLCloseS20PUhrZeit() noexcept {
    windowReplay_.close();
    return dbCloseCursor(windowCursor_);
  }

  WriterResult writeZones(ExportContext& context, InterfaceFile& file) noexcept;
  WriterResult writeWindows(ExportContext& context, InterfaceFile& file) noexcept;

  Statement zoneStatement(ExportContext& context, const std::string& terminal, const std::string& reader,
                          const std::string& weekday) const;
  Statement windowStatement(ExportContext& context, std::string_view zone) const;
  void readDays() noexcept;
  RC takeZones(ExportContext& context, Statement statement) noexcept;
  void sendZones(ExportContext& context, std::size_t first) noexcept;
  void sendWindows(ExportContext& context) noexcept;

  Cursor dayCursor_;
  Cursor zoneCursor_;
  Cursor windowCursor_;
  Record<6> record_;
  const ZoneOpenFailure& zoneOpenFailure_;
  // The same few window statements come for reader after reader: each is
  // sent once and its rows are replayed in the order the server gave them.
  const bool rememberWindows_;
  bool replaying_ = false;
  RememberedStatements windows_;
  RememberedStatements::Replay windowReplay_;
  // The whole-file writer with set lookups sends its zone statements
  // pipelined, kZoneBatch readers' weekdays at a time from the stored outer
  // cursor on, and then the window statements of their zones that it has
  // not yet remembered. The walk below takes every answer in its own order,
  // so the first failure it meets is the one reported, as when each
  // statement is sent when it is reached; the answers after it are dropped.
  static constexpr std::size_t kZoneBatch = 256;
  bool pipelined_ = false;
  std::vector<std::array<std::string, 3>> days_;  // terminal, reader, weekday of every outer row
  std::size_t fetchedDays_ = 0;
  std::size_t batchFirst_ = 0;  // the outer row of zoneBatch_[0]
  std::vector<PipelinedStatement> zoneBatch_;
  std::unordered_map<std::string, RC> failedWindows_;
  // The keys of the inner statements, whole as the server delivered them:
  // the record's fields are cut to their widths for the line, and a cut key
  // would select another terminal's or zone's rows.
  std::string terminal_;
  std::string reader_;
  std::string weekday_;
  std::string zone_;
  // Set after the first window fetch of the weekday: from then on the
  // weekday no longer gets its line without zone.
  bool dayFlag_ = false;
};

std::string columnText(const Row& row, unsigned column) { return std::string(row[column].view()); }

// The plan tables, and what both plan statements ask of them: a calendar
// day of the seven days from today, and no terminal, zone, plan element or
// window that is locked (4) or deleted (8). Kept as literals so that the
// statements stay checked format literals.
#define S20P_TABLES                                                                       \
  "FROM MVSYSTEM.MVS401ZLS, MVSYSTEM.MVS402ZKO, MVSYSTEM.MVS404ZBR, MVSYSTEM.MVS402ZUZ, " \
  "MVSYSTEM.MVS133KAL, MVSYSTEM.MVS133BAK  WHERE "
#define S20P_NEXT_SEVEN_DAYS_ACTIVE                                                                  \
  "   AND date_format(KALDTM,'%%y%%m%%d') >= date_format(SYSDATE(),'%%y%%m%%d')  AND KALDTM <= "     \
  "DATE_ADD(SYSDATE(),INTERVAL + 6 day )  AND     KALDTM = BAKDTM  AND    ((ZLSSTA <> 4 AND ZLSSTA " \
  "<> 8) or ZLSSTA is null)  AND    ((ZKOSTA <> 4 AND ZKOSTA <> 8) or ZKOSTA is null)  AND    "      \
  "((ZBRSTA <> 4 AND ZBRSTA <> 8) or ZBRSTA is null)  AND    ((ZUZSTA <> 4 AND ZUZSTA <> 8) or "     \
  "ZUZSTA is null)"

RC S20PQuery::SQLOpenS20P(ExportContext& context) noexcept {
  pipelined_ = rememberWindows_ && !context.perRowLookups;
  const RC opened = openCursor(context.session, dayCursor_,
                               " SELECT DISTINCT  ZLSTRM AS Terminal, lpad(cast(ZLSLES as char),2,'0') AS Leser, "
                               "BAKWTG  AS TagNr " S20P_TABLES
                               "ZLSZKO =  ZKONUM  AND  ((ZLSTFR is not NULL AND ZLSTFR =  "
                               "ZBRZBK) OR  (ZLSTFR is NULL     AND ZKOTFS =  ZBRZBK))  AND  ZKOKAL = KALNUM   AND  "
                               "ZBRZZZ = ZUZNUM" S20P_NEXT_SEVEN_DAYS_ACTIVE " ORDER BY Terminal, Leser, TagNr ");
  if (opened == RC_OK && pipelined_) readDays();
  return opened;
}

// The keys of every stored outer row, for the zone statements sent ahead;
// then the cursor is back at its first row.
void S20PQuery::readDays() noexcept {
  days_.clear();
  fetchedDays_ = 0;
  batchFirst_ = 0;
  zoneBatch_.clear();
  Row row;
  while (dbFetch(dayCursor_, row) == RC_OK)
    days_.push_back({columnText(row, 0), columnText(row, 1), columnText(row, 2)});
  static_cast<void>(dbRewind(dayCursor_));
}

RC S20PQuery::SQLFetchS20P() noexcept {
  record_.clear();
  Row row;
  const RC rc = nextRow(row);
  if (rc != RC_OK) return rc;
  record_.copyColumns(row, ColumnFields<3>{kTerminal, kReader, kWeekday});
  terminal_ = columnText(row, 0);
  reader_ = columnText(row, 1);
  weekday_ = columnText(row, 2);
  ++fetchedDays_;
  return RC_OK;
}

RC S20PQuery::SQLOpenS20PTagesPlan(ExportContext& context) noexcept {
  record_[kZone].clear();
  zone_.clear();
  Statement statement = zoneStatement(context, terminal_, reader_, weekday_);
  if (pipelined_) return takeZones(context, std::move(statement));
  return dbExecute(context.session, zoneCursor_, std::move(statement));
}

Statement S20PQuery::zoneStatement(ExportContext& context, const std::string& terminal, const std::string& reader,
                                   const std::string& weekday) const {
  return formatStatement(
      " SELECT DISTINCT ZBRZZZ   " S20P_TABLES
      "ZLSTRM = '%s'  AND ZLSLES = '%s'  AND  ((ZLSTFR is "
      "not NULL AND ZBRZBK = ZLSTFR ) OR  (ZLSTFR is NULL     AND ZKOTFS =  ZBRZBK))  AND ZLSZKO =  "
      "ZKONUM  AND ZBRTTP =  KALTTP  AND ZKOKAL =  KALNUM   AND ZBRZZZ =  ZUZNUM" S20P_NEXT_SEVEN_DAYS_ACTIVE
      "  AND     bakwtg = '%s' ",
      context.quoted(terminal).c_str(), context.quoted(reader).c_str(), context.quoted(weekday).c_str());
}

#undef S20P_TABLES
#undef S20P_NEXT_SEVEN_DAYS_ACTIVE

RC S20PQuery::SQLFetchS20PTagesPlan() noexcept {
  record_[kZone].clear();
  zone_.clear();
  Row row;
  const RC rc = dbFetch(zoneCursor_, row);
  if (rc != RC_OK) return rc;
  record_.copyColumns(row, ColumnFields<1>{kZone});
  zone_ = columnText(row, 0);
  return RC_OK;
}

// The zones of the current outer row, from the pipelined batch that holds
// it; a new batch is sent from it on when none does (no batch holds a
// statement too long to be sent).
RC S20PQuery::takeZones(ExportContext& context, Statement statement) noexcept {
  const std::size_t day = fetchedDays_ - 1;
  if (day < batchFirst_ || day - batchFirst_ >= zoneBatch_.size()) sendZones(context, day);
  if (day >= batchFirst_ && day - batchFirst_ < zoneBatch_.size()) {
    PipelinedStatement& answer = zoneBatch_[day - batchFirst_];
    if (answer.cursor.statement == statement) {
      zoneCursor_ = std::move(answer.cursor);
      return answer.rc;
    }
  }
  return dbExecute(context.session, zoneCursor_, std::move(statement));
}

// The zone statements of the outer rows from first on, up to kZoneBatch
// or the first one too long to be sent; then their window statements.
void S20PQuery::sendZones(ExportContext& context, std::size_t first) noexcept {
  zoneBatch_.clear();
  batchFirst_ = first;
  for (std::size_t day = first; day < days_.size() && zoneBatch_.size() < kZoneBatch; ++day) {
    Statement statement = zoneStatement(context, days_[day][0], days_[day][1], days_[day][2]);
    if (!statement) break;
    zoneBatch_.emplace_back().cursor.statement = std::move(*statement);
  }
  dbExecutePipelined(context.session, zoneBatch_);
  sendWindows(context);
}

// The window statements the walk will ask for the zones of the batch, in
// its order: each zone of a weekday, then the empty zone. Only those not
// yet answered are sent, each once; none after the first failed zone
// statement or the first window statement too long to be sent, where the
// walk ends.
void S20PQuery::sendWindows(ExportContext& context) noexcept {
  std::vector<PipelinedStatement> batch;
  std::unordered_set<std::string> queued;
  const auto queue = [&](std::string_view zone) {
    Statement statement = windowStatement(context, zone);
    if (!statement) return false;
    if (!windows_.holds(*statement) && !failedWindows_.contains(*statement) && queued.insert(*statement).second) {
      batch.emplace_back().cursor.statement = std::move(*statement);
    }
    return true;
  };
  for (PipelinedStatement& zones : zoneBatch_) {
    if (zones.rc != RC_OK) break;
    Row row;
    RC fetched = RC_OK;
    bool sendable = true;
    while (sendable && (fetched = dbFetch(zones.cursor, row)) == RC_OK) sendable = queue(row[0].view());
    static_cast<void>(dbRewind(zones.cursor));
    if (!sendable || fetched != RC_NO_MORE_ROWS || !queue({})) break;
  }
  dbExecutePipelined(context.session, batch);
  for (PipelinedStatement& windows : batch) {
    if (windows.rc == RC_OK) {
      windows_.keep(windows.cursor);
    } else {
      failedWindows_.emplace(windows.cursor.statement, windows.rc);
    }
  }
}

Statement S20PQuery::windowStatement(ExportContext& context, std::string_view zone) const {
  return formatStatement(
      " SELECT  lpad((ZUZVON DIV 60) * 100 + MOD(ZUZVON, 60), 4, '0') AS Offen_Von,  lpad((ZUZBIS "
      "DIV 60) * 100 + MOD(ZUZBIS, 60), 4, '0') AS Offen_Bis  FROM MVSYSTEM.MVS402ZUZ  "
      "WHERE ZUZNUM = '%s'",
      context.quoted(zone).c_str());
}

RC S20PQuery::SQLOpenS20PUhrZeit(ExportContext& context) noexcept {
  Statement statement = windowStatement(context, zone_);
  replaying_ = rememberWindows_ && !context.perRowLookups;
  if (replaying_) {
    if (const auto failed = statement ? failedWindows_.find(*statement) : failedWindows_.end();
        failed != failedWindows_.end()) {
      return failed->second;
    }
    return windows_.open(context.session, std::move(statement), windowReplay_);
  }
  return dbExecute(context.session, windowCursor_, std::move(statement));
}

RC S20PQuery::SQLFetchS20PUhrZeit() noexcept {
  record_[kOpenFrom].clear();
  record_[kOpenTo].clear();
  Row row;
  const RC rc = replaying_ ? windowReplay_.fetch(row) : dbFetch(windowCursor_, row);
  if (rc == RC_OK) record_.copyColumns(row, ColumnFields<2>{kOpenFrom, kOpenTo});
  return rc;
}

WriterResult S20PQuery::writeRow(ExportContext& context, InterfaceFile& file) noexcept {
  dayFlag_ = false;
  const RC opened = SQLOpenS20PTagesPlan(context);
  if (opened != RC_OK && !(opened == RC_NO_MORE_ROWS && zoneOpenFailure_.noRowsIsNoFailure)) {
    return dbFailure(context.env, zoneOpenFailure_.name, opened);
  }
  const WriterResult result = writeZones(context, file);
  SQLCloseS20PTagesPlan();
  return result;
}

// Zone by zone; after the last zone the windows are asked for once more
// with an empty zone, which gives a weekday without any zone its one line.
// An empty zone ends the weekday.
WriterResult S20PQuery::writeZones(ExportContext& context, InterfaceFile& file) noexcept {
  for (;;) {
    const RC fetched = SQLFetchS20PTagesPlan();
    if (fetched != RC_OK && fetched != RC_NO_MORE_ROWS) return dbFailure(context.env, "SQLFetchS20PTagesPlan", fetched);
    const RC opened = SQLOpenS20PUhrZeit(context);
    if (opened != RC_OK) return dbFailure(context.env, "SQLOpenS20PUhrZeit", opened);
    const WriterResult written = writeWindows(context, file);
    SQLCloseS20PUhrZeit();
    if (written != WriterResult::kOk) return written;
    if (record_[kOpenFrom].empty() && record_[kZone].empty()) return WriterResult::kOk;
  }
}

// One line per window. The fetch that finds no further window writes the
// weekday's line without zone, when the weekday had no zone and no window
// fetch before it.
WriterResult S20PQuery::writeWindows(ExportContext& context, InterfaceFile& file) noexcept {
  RC fetched = RC_OK;
  do {
    fetched = SQLFetchS20PUhrZeit();
    if (fetched != RC_OK && fetched != RC_NO_MORE_ROWS) return dbFailure(context.env, "SQLFetchS20PUhrZeit", fetched);
    if (!record_[kOpenFrom].empty() || (record_[kZone].empty() && !dayFlag_)) file.write(record_);
    dayFlag_ = true;
  } while (fetched == RC_OK);
  return WriterResult::kOk;
}

constexpr SelectiveWriter kS20PSelective = {"//mgsst20p_upd.imp",
                                            "SQLOpenS20P_Sel",
                                            "SQLFetchS20P_Sel",
                                            &SelectiveSource::SQLOpenS20P_Sel,
                                            &SelectiveSource::SQLFetchS20P_Sel,
                                            &SelectiveSource::SQLCloseS20P_Sel,
                                            &SelectiveMarks::mgsst20p};

}  // namespace

constexpr FileLayout k20pLayout = {
    .code = "20P",
    .fileName = "MGSST20P",
    .description =
        "Every opening window of every reader's time plan on each weekday of the seven days from "
        "today on, by terminal, reader and weekday.",
    .fields = k20pFormat,
    .updateFile = updateFileName(kS20PSelective),
};

WriterResult write20pFile(ExportContext& context) noexcept {
  S20PQuery query;
  return runWriter(context, WriterTexts{.start = "Importdatei: %s fuellen..."}, query);
}

// Its start is logged only with /D.
WriterResult Fill_MGSST20P_Upd(SelectiveRun& run, std::string_view controlArea) noexcept {
  SelectiveQuery<S20PQuery> query(run, kS20PSelective, controlArea, kSelectiveZoneOpen);
  return query.write(WriterTexts{.openFailure = "Oeffnen der Datei %s fehlgeschlagen.", .start = kControlAreaStart},
                     run.debug);
}

}  // namespace sstrxv
