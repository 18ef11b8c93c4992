// Balance file SLD: per tenant every currently valid badge, and for each
// badge its holder's vacation carry-over, vacation days, shift leave, day
// balances and traffic-light account, the flexible display fields of
// SaldoRXV.ini and, at the premium location, the premium text.
#include <string>
#include <string_view>

#include "export/balance/balance.h"
#include "export/balance/number_text.h"
#include "export/balance/premium.h"
#include "export/balance/saldo_record.h"
#include "export/balance/saldo_settings.h"
#include "export/frame.h"
#include "export/tenant_lookup.h"
#include "support/env.h"

namespace sstrxv {

void writeSaldoLine(InterfaceFile& file, const SaldoRecord& record) noexcept { file.write(record); }

namespace {

using namespace saldo_field;

// The badge list: badge number, location, licence and tenant number into
// their fields; the personnel number is kept apart as the key of the reads.
constexpr ColumnFields<5> kBadgeColumnFields = {static_cast<int>(kIdn), static_cast<int>(kSto), static_cast<int>(kLiz),
                                                static_cast<int>(kMnd), kNoField};
constexpr unsigned kPersonnelColumn = 4;

// True for the results the badge loop goes on after: a row, or none.
bool readOk(RC rc) noexcept { return rc == RC_OK || rc == RC_NO_MORE_ROWS; }

// The lookups of the five reads.
constexpr PersonLookup kUrvLookup = {
    .table = "mvs332urv",
    .key = "urvpnr",
    .columns =
        "COALESCE(urvvjr, 0.0), COALESCE(urvgur, 0.0),          COALESCE(urvgur, 0.0) - COALESCE(urvvjr, 0.0) + "
        "COALESCE(urvvtg, 0.0)",
    .condition = "(cast(extract(year from sysdate()) as UNSIGNED)) = urvjhr",
    .perRow = " SELECT  $c FROM $s.$t  WHERE $k = '$v'  AND $w "};
constexpr PersonLookup kUtgLookup = {
    .table = "mvs332utg",
    .key = "UTGPNR",
    .columns = "utggut, utgvtg, utgrtg",
    .condition = "",
    .date = "utgdtm",
    .before = "UTGDTM < sysdate()",
    .perRow =
        " SELECT  $c  FROM $s.$t  WHERE $d = (SELECT max($d)  FROM $s.$t  WHERE $b  AND  $k= '$v') AND $k = '$v' "};
constexpr PersonLookup kSfzLookup = {
    .table = "mvs332sfz",
    .key = "SFZPNR",
    .columns = "sfzans, sfzgen, sfzrst, sfzvpl, sfzant",
    .condition = "date_format(sfzdtm, '%Y%m%d') =  date_format(date_add(sysdate(), interval -1 day), '%Y%m%d')",
    .perRow = " SELECT  $c  FROM $s.$t  WHERE $w  AND $k = '$v' "};
constexpr PersonLookup kSfvLookup = {.table = "mvs332sfv",
                                     .key = "SFVPNR",
                                     .columns = "sfvvtg",
                                     .condition = "SFVJHR = date_format(date_add(sysdate(), interval -1 day), '%Y')",
                                     .perRow = " SELECT  $c  FROM $s.$t  WHERE $k = '$v'  AND   $w "};
constexpr PersonLookup kTgbLookup = {
    .table = "mvs320tgb",
    .key = "tgbpnr",
    .columns =
        "cast( Date_format(tgbdtm, '%Y%m%d') as char),  (tgbsa1 + tgbvt1), (tgbsa2 + tgbvt2),  (tgbsa3 + "
        "tgbvt3), (tgbsa4 + tgbvt4),  (tgbsa5 + tgbvt5), (tgbsa6 + tgbvt6),  (tgbsa7 + tgbvt7)",
    .condition = "tgbztr = 1",
    .date = "tgbdtm",
    .before = "tgbDTM < current_date()",
    .perRow =
        " SELECT   $c FROM  $s.$t  WHERE $w  AND $k = '$v'  AND $d = (SELECT max($d)  FROM $s.$t  WHERE $b  AND "
        "$k = '$v'  AND $w)"};
constexpr PersonLookup kTagLookup = {
    .table = "mvs327tag",
    .key = "tagpnr",
    .columns = "TagAkp",
    .condition = "",
    .date = "tagtag",
    .before = "tagtag < current_date()",
    .perRow =
        " SELECT   $c  FROM  $s.$t  WHERE $k = '$v'   AND $d = (SELECT max($d)  FROM $s.$t  WHERE $k = '$v'  AND $b)"};

class SaldoQuery final : public WriterQuery {
 public:
  SaldoQuery() : WriterQuery("SQLOpenSald", "SQLFetchSald") {}

  // The settings are read again at every start of the writer.
  void afterStart(ExportContext& context) noexcept override {
    settings_ = readSaldoSettings(context.env.inputs.saldoSettingsFile).settings;
    context.env.writeLog(flexibleValuesMessage(settings_.configured()));
  }

  // Only the tenants at the premium location get premium texts; the table
  // lives until the tenant's badges are done.
  void beginTenant(ExportContext& context) noexcept override {
    if (context.tenant == nullptr || context.tenant->location.view() != kPremiumLocation) return;
    PremiumResult read = readPraemien(context.env.inputs.premiumFile);
    if (read.status != PremiumStatus::kRead) {
      context.env.writeLog(premiumStatusMessage(read.status));
      context.env.writeLog(kPremiumUnavailableMessage);
      return;
    }
    premium_ = std::move(read.table);
  }
  void endTenant(ExportContext&) noexcept override {
    premium_ = PremiumTable{};
    for (TenantLookup* lookup : {&urv_, &utg_, &sfz_, &sfv_, &tgb_, &tag_}) lookup->endTenant();
  }

  RC open(ExportContext& context) noexcept override { return SQLOpenSald(context); }
  RC fetch(ExportContext&) noexcept override {
    personnelNumber_.clear();
    initSaldoRecord(record_);
    return SQLFetchSald();
  }
  void close() noexcept override { SQLCloseSald(); }
  void reportFetchFailure(ExportContext& context, RC rc) noexcept override {
    logMessage(context.env, "Fehler SQLFetchSald RC: %ld", rc);
  }

  // The five reads in their order; the first database error stops the
  // badge loop before the badge's line is written.
  WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept override {
    values_ = SaldoValues{};
    struct Read {
      RC (SaldoQuery::*run)(ExportContext&);
      const char* what;
    };
    static constexpr Read kReads[] = {{&SaldoQuery::SQLReadUrv, "Urlaubsvortraege"},
                                      {&SaldoQuery::SQLReadUtg, "Urlaubstage"},
                                      {&SaldoQuery::SQLReadSfz, "Schichtfreizeit"},
                                      {&SaldoQuery::SQLReadTgb, "Saldenwerte"},
                                      {&SaldoQuery::SQLReadTag, "Ampelkonto"}};
    for (const Read& read : kReads) {
      if (const RC rc = (this->*read.run)(context); !readOk(rc)) {
        return writerResult(rc, [&] {
          logMessage(context.env, "Fehler %s einlesen: Pnr: %s RC: %ld", read.what, personnelNumber_.c_str(), rc);
        });
      }
    }
    if (settings_.configured()) fillFlexFields(settings_, values_, record_);
    if (!premium_.empty()) findPraemie(premium_, personnelNumber_, record_);
    writeSaldoLine(file, record_);
    return WriterResult::kOk;
  }

 private:
  RC SQLOpenSald(ExportContext& context) noexcept {
    return openCursor(context.session, badgeCursor_,
                      " SELECT  DISTINCT ASWNUM,  AWVSTO ,ASWLIZ, ASWMND, ASWPNR  FROM MVSYSTEM.MVS301ASW, "
                      "MVSYSTEM.MVS113AWV, %s.MVS300PNR  WHERE  aswnum = awvnum  AND aswpnr = pnrnum  AND aswMnd = "
                      "'%s'  AND ((sysdate() >= aswGVO AND ASWGBI is null)  OR (sysdate() <= aswgbi AND aswGvo is "
                      "null)  OR (sysdate() >= aswgvo AND sysdate()<= aswgbi))",
                      context.schema(), context.quoted(context.tenant->tenantNumber.view()).c_str());
  }

  // The next badge. The personnel number is kept whole: it is the key of
  // the reads and of the premium lookup.
  RC SQLFetchSald() noexcept {
    Row row;
    const RC fetched = dbFetch(badgeCursor_, row);
    if (fetched != RC_OK) return fetched;
    record_.copyColumns(row, kBadgeColumnFields);
    personnelNumber_.assign(row[kPersonnelColumn].view());
    return RC_OK;
  }

  RC SQLCloseSald() noexcept { return dbCloseCursor(badgeCursor_); }

  // Vacation carry-over of the current year.
  RC SQLReadUrv(ExportContext& context) noexcept {
    return urv_.read(context, personnelNumber_, [this](const Row& row) {
      takeVacationFigure(row[0], values_.uvj, kW03);
      takeVacationFigure(row[1], values_.uan, kW08);
      takeVacationFigure(row[2], values_.ulj, kW04);
    });
  }

  // Vacation days of the latest date before now.
  RC SQLReadUtg(ExportContext& context) noexcept {
    return utg_.read(context, personnelNumber_, [this](const Row& row) {
      takeVacationFigure(row[0], values_.uge, kW05);
      takeVacationFigure(row[1], values_.uvp, kW06);
      takeVacationFigure(row[2], values_.urs, kW07);
    });
  }

  // Yesterday's shift leave, then the shift-leave carry-over of yesterday's
  // year. They reach the line only through the flexible fields.
  RC SQLReadSfz(ExportContext& context) noexcept {
    const RC day = sfz_.read(context, personnelNumber_, [this](const Row& row) {
      takeNumber(row[0], values_.san);
      takeNumber(row[1], values_.sge);
      takeNumber(row[2], values_.srs);
      takeNumber(row[3], values_.svp);
      takeNumber(row[4], values_.sat);
    });
    if (!readOk(day)) return day;
    return sfv_.read(context, personnelNumber_, [this](const Row& row) { takeNumber(row[0], values_.svj); });
  }

  // Day balances (tgbztr = 1) of the latest date before today: the date,
  // SA1 to SA7, and the sums SA1 + SA2 and SA2 + SA3.
  RC SQLReadTgb(ExportContext& context) noexcept {
    return tgb_.read(context, personnelNumber_, [this](const Row& row) {
      if (const Value date = row[0]) {
        values_.balanceDate.assign(date.view());
        record_[kW01].assign(date.view());
      }
      auto& minutes = values_.timeBalance;
      for (int n = 1; n <= 7; ++n) {
        if (const Value value = row[static_cast<unsigned>(n)]) {
          minutes[static_cast<std::size_t>(n - 1)] = leadingInteger(value.view());
          record_[timeBalance(n)].assign(timeBalanceText(minutes[static_cast<std::size_t>(n - 1)]));
        }
      }
      record_[kW15].assign(timeBalanceText(minutes[0] + minutes[1]));
      record_[kW16].assign(timeBalanceText(minutes[1] + minutes[2]));
    });
  }

  // The traffic-light account value of the latest day before today.
  RC SQLReadTag(ExportContext& context) noexcept {
    return tag_.read(context, personnelNumber_, [this](const Row& row) {
      if (const Value value = row[0]) {
        values_.trafficLight = leadingInteger(value.view());
        record_[kAmp].assign(trafficLightText(values_.trafficLight));
      }
    });
  }

  // A NULL column leaves the value and its field at their defaults.
  static void takeNumber(Value value, double& target) {
    if (value) target = balanceNumber(value.view());
  }
  void takeVacationFigure(Value value, double& target, std::size_t field) {
    if (!value) return;
    target = balanceNumber(value.view());
    record_[field].assign(vacationFigureText(value.view()));
  }

  Cursor badgeCursor_;
  SaldoRecord record_;
  SaldoValues values_;
  std::string personnelNumber_;  // as stored, whatever its length
  SaldoSettings settings_;
  PremiumTable premium_;
  TenantLookup urv_{kUrvLookup};
  TenantLookup utg_{kUtgLookup};
  TenantLookup sfz_{kSfzLookup};
  TenantLookup sfv_{kSfvLookup};
  TenantLookup tgb_{kTgbLookup};
  TenantLookup tag_{kTagLookup};
};

}  // namespace

WriterResult writeSaldoFile(ExportContext& context) noexcept {
  SaldoQuery query;
  return runWriter(context, WriterTexts{.tenant = kTenantMessage}, query);
}

}  // namespace sstrxv
