// Badge master file IDN: per tenant every badge valid now, with its holder's
// personnel data, the holder's BsvMap value and, from release 5.4 on, the
// holder's cost centre (and from 5.9 on the PstBsvKal value). The selective
// writer writes the same lines for one badge number into idstamm_upd.imp.
#include <string>

#include "export/frame.h"
#include "export/master/master.h"
#include "export/selective.h"
#include "export/tenant_lookup.h"

namespace sstrxv {
namespace {

// Fields filled after the fetch, numbered from 0 in line order. Field 17
// stays blank.
constexpr std::size_t kBsvMap = 21;
constexpr std::size_t kCostCentre = 22;
constexpr std::size_t kBsvKal = 23;

// The select column of the personnel number, key of the per-badge lookups.
constexpr unsigned kPersonnelColumn = 4;

constexpr LineFormat<24> kIdsFormat = {
    field(50, "badge number", "aswnum"),
    field(8, "location of the badge", "awvsto"),
    field(8, "valid from", "aswgvo as YYYYMMDD"),
    field(8, "valid until", "aswgbi as YYYYMMDD; blank when open-ended"),
    field(8, "personnel number", "aswpnr"),
    field(50, "holder's name", "pnrnam"),
    field(5, "holder's language", "pnrspr"),
    field(5, "authorization class", "aswbkl"),
    field(32, "PIN", "aswpin"),
    field(5, "badge code", "awvcod"),
    field(5, "badge group", "aswgrp"),
    field(5, "licence number", "aswliz"),
    field(5, "tenant number", "aswmnd"),
    field(2, "badge type", "aswatp"),
    field(50, "badge text", "aswaan"),
    field(2, "holder's employee type", "pnrmta"),
    field(10, "holder's salutation", "pnrsal"),
    field(5, "reserved", "always blank"),
    field(5, "status", "aswsta"),
    field(14, "change date", "aswdat as YYYYMMDDhhmmss"),
    field(50, "changed by", "aswerf"),
    field(1, "holder's access map", "BsvMap of the holder's Mvs310Bsv row as an integer; 0 when there is none"),
    field(30, "assigned cost centre",
          "PstZuoKst of the holder's PERSONALSTAMM row without trailing blanks and tabs; "
          "from product release 5.4 on, blank below; in the update file at every release"),
    field(3, "holder's calendar",
          "PstBsvKal of the holder's PERSONALSTAMM row without trailing blanks and tabs; "
          "from product release 5.9 on; blank below"),
};

// The 20 select columns fill every field up to the change author except the
// always blank one.
constexpr ColumnFields<20> kIdsColumnFields = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 19, 20};

// The release from which the cost centre, and from which also PstBsvKal, is read.
constexpr double kReleaseWithCostCentre = 5.4;
constexpr double kReleaseWithBsvKal = 5.9;

// Which cost-centre lookup a product release asks for, and the name under
// which its failure is reported. The whole-file writer reads no cost centre
// below 5.4; the selective writer always reads one.
// The whole-file writer answers its lookups from one set statement per
// lookup and tenant; the selective writer asks per badge.
struct CostCentreLookups {
  bool belowCostCentreRelease;  // read the cost centre also below 5.4
  const char* kstName;
  const char* kstKalName;
  bool setStatements;
};
constexpr CostCentreLookups kWholeFileLookups = {false, "SQLReadKst", "SQLReadKstKal", true};
constexpr CostCentreLookups kSelectiveLookups = {true, "SQLReadKst(Kal)", "SQLReadKst(Kal)", false};

// The holder's lookups.
constexpr PersonLookup kBsvMapLookup = {.table = "Mvs310Bsv",
                                        .key = "BsvPnr",
                                        .columns = "COALESCE(BsvMap, 0)",
                                        .condition = "",
                                        .perRow = "SELECT   $c  FROM  $s.$t  WHERE $k = '$v' "};
constexpr PersonLookup kKstLookup = {.table = "PERSONALSTAMM",
                                     .key = "PSTPNRNUM",
                                     .columns = "PstZuoKst",
                                     .condition = "",
                                     .perRow = "SELECT $c FROM   $s.$t WHERE  $k = '$v' "};
constexpr PersonLookup kKstKalLookup = {.table = "PERSONALSTAMM",
                                        .key = "PSTPNRNUM",
                                        .columns = "PstZuoKst, PstBsvKal",
                                        .condition = "",
                                        .perRow = kKstLookup.perRow};

class IdsQuery : public RecordQuery<24> {
 public:
  IdsQuery() : IdsQuery("SQLOpenIDS", "SQLFetchIDS", kWholeFileLookups) {}

  RC open(ExportContext& context) noexcept override { return SQLOpenIDS(context); }
  RC fetch(ExportContext& context) noexcept override {
    record_.clear();
    personnelKey_.clear();
    return SQLFetchIDS(context);
  }
  void close() noexcept override { SQLCloseIDS(); }
  void endTenant(ExportContext&) noexcept override {
    bsvMap_.endTenant();
    kst_.endTenant();
    kstKal_.endTenant();
  }

  // The cost-centre lookup of the product release, then the line. A failed
  // lookup stops the writer before the badge's line is written.
  WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept override {
    const double release = context.productVersion;
    RC rc = RC_OK;
    const char* lookup = nullptr;
    if (release >= kReleaseWithBsvKal) {
      rc = SQLReadKstKal(context);
      lookup = lookups_.kstKalName;
    } else if (release >= kReleaseWithCostCentre || lookups_.belowCostCentreRelease) {
      rc = SQLReadKst(context);
      lookup = lookups_.kstName;
    }
    if (rc != RC_OK && rc != RC_NO_MORE_ROWS) return dbFailure(context.env, lookup, rc);
    file.write(record_);
    return WriterResult::kOk;
  }

 protected:
  IdsQuery(const char* openName, const char* fetchName, const CostCentreLookups& lookups)
      : RecordQuery(openName, fetchName, kIdsFormat), lookups_(lookups) {}

 private:
  RC SQLOpenIDS(ExportContext& context) noexcept {
    return openCursor(
        context.session, cursor_,
        " SELECT distinct aswnum, awvsto, date_format(aswgvo, '%%Y%%m%%d'), date_format(aswgbi, '%%Y%%m%%d'), aswpnr, "
        "pnrnam, pnrspr, aswbkl, aswpin, awvcod, aswgrp, aswliz, aswmnd, aswatp, aswaan, pnrmta, pnrsal, aswsta, "
        "date_format(aswdat,'%%Y%%m%%d%%H%%i%%s'), aswerf  FROM mvsystem.mvs301asw, mvsystem.mvs113awv,       "
        "%s.mvs300pnr  WHERE aswnum = awvnum  AND  aswpnr = pnrnum  AND  aswmnd = '%s'  AND  aswgvo <= sysdate()  AND "
        "(aswgbi is null or aswgbi >= sysdate())  ",
        context.schema(), context.quoted(context.tenant->tenantNumber.view()).c_str());
  }

  // The next badge, completed by its holder's BsvMap value.
  RC SQLFetchIDS(ExportContext& context) noexcept {
    Row row;
    const RC fetched = nextRow(row);
    if (fetched != RC_OK) return fetched;
    record_.copyColumns(row, kIdsColumnFields);
    // The lookups use the personnel number as stored, even when the line
    // can only show its first characters.
    personnelKey_.assign(row[kPersonnelColumn].view());
    record_[kBsvMap].assign("0");
    const RC looked = SQLReadBsvMap(context);
    return looked == RC_NO_MORE_ROWS ? RC_OK : looked;
  }

  RC SQLCloseIDS() noexcept { return dbCloseCursor(cursor_); }

  [[nodiscard]] RC SQLReadBsvMap(ExportContext& context) noexcept {
    return read(context, bsvMap_, [this](const Row& row) {
      if (row[0]) record_[kBsvMap].assign(formatText("%ld", leadingInteger(row[0].view())));
    });
  }

  [[nodiscard]] RC SQLReadKst(ExportContext& context) noexcept {
    return read(context, kst_, [this](const Row& row) { assignTrimmed(kCostCentre, row[0]); });
  }

  [[nodiscard]] RC SQLReadKstKal(ExportContext& context) noexcept {
    return read(context, kstKal_, [this](const Row& row) {
      assignTrimmed(kCostCentre, row[0]);
      assignTrimmed(kBsvKal, row[1]);
    });
  }

  // A lookup of the holder's personnel number: from the tenant's set
  // statement, or per badge (the selective writer always).
  template <typename CopyRow>
  RC read(ExportContext& context, TenantLookup& lookup, CopyRow&& copy) noexcept {
    if (!lookups_.setStatements) {
      return readSingleRow(context.session, perRowStatement(context, lookup.description(), personnelKey_), copy);
    }
    return lookup.read(context, personnelKey_, copy);
  }

  // Stores a non-NULL value without its trailing blanks and tabs.
  void assignTrimmed(std::size_t index, Value value) {
    if (!value) return;
    std::string text(value.view());
    record_[index].assign(trimRight(text));
  }

  const CostCentreLookups& lookups_;
  std::string personnelKey_;  // the holder's personnel number as stored
  TenantLookup bsvMap_{kBsvMapLookup};
  TenantLookup kst_{kKstLookup};
  TenantLookup kstKal_{kKstKalLookup};
};

// The badge lines of one badge number, from the selective badge cursor.
constexpr SelectiveWriter kIdsSelective = {"//idstamm_upd.imp",
                                           "SQLOpenIDS_Sel",
                                           "SQLFetchIDS_Sel",
                                           &SelectiveSource::SQLOpenIDS_Sel,
                                           &SelectiveSource::SQLFetchIDS_Sel,
                                           &SelectiveSource::SQLCloseIDS_Sel,
                                           &SelectiveMarks::idstamm};

}  // namespace

constexpr FileLayout kIdnLayout = {
    .code = "IDN",
    .fileName = "IDStamm",
    .description = "Every badge valid now, tenant by tenant, with its holder's personnel data.",
    .fields = kIdsFormat,
    .updateFile = updateFileName(kIdsSelective),
};

WriterResult writeIdnFile(ExportContext& context) noexcept {
  IdsQuery query;
  return runWriter(context, WriterTexts{.tenant = kTenantMessage}, query);
}

WriterResult Fill_IDSTAMM_Upd(SelectiveRun& run, std::string_view badgeNumber) noexcept {
  SelectiveQuery<IdsQuery> query(run, kIdsSelective, badgeNumber, kSelectiveLookups);
  return query.write(WriterTexts{.start = "Importdatei: %s fuellen  Ausweisnummer: %s"});
}

}  // namespace sstrxv
