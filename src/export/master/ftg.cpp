// Holiday file FTG: per tenant every holiday from one year back on, for
// every terminal, with its text in the terminal's language where the
// tenant's dictionary has one.
#include <algorithm>
#include <string>

#include "db/lookup.h"
#include "export/frame.h"
#include "export/master/master.h"

namespace sstrxv {
namespace {

constexpr LineFormat<8> kFtgFormat = {
    field(255, "terminal name", "ZLSTRM"),
    field(5, "licence number", "licence number of the tenant"),
    field(5, "tenant number", "tenant number of the tenant"),
    field(4, "year", "KA2DTM as YYYY"),
    field(8, "date", "KA2DTM as YYYYMMDD"),
    field(20, "holiday text",
          "DI2TXT of the day type (KA2TTP) in the terminal's language (TRMSPR, 0 when NULL); "
          "TT2TXT when the dictionary has no text"),
    field(1, "day-type short text", "TT2KRT"),
    field(3, "calendar number", "KA2NUM"),
};

// ZLSTRM, Jahr, Datum, TT2TXT, TT2KRT, KA2NUM go to these fields; KA2TTP and
// TRMSPR are kept beside the record.
constexpr ColumnFields<6> kFtgColumnFields = {0, 3, 4, 5, 6, 7};
constexpr unsigned kDayTypeColumn = 6;
constexpr unsigned kLanguageColumn = 7;
constexpr std::size_t kLicenceNumber = 1;
constexpr std::size_t kTenantNumber = 2;
constexpr std::size_t kText = 5;

constexpr std::size_t kDayTypeCapacity = 6;
constexpr std::size_t kDictionaryKeyLength = 4;

class FtgQuery final : public RecordQuery<8> {
 public:
  FtgQuery() : RecordQuery("SQLOpenFtg", "SQLFetchFtg", kFtgFormat, TenantFields{kLicenceNumber, kTenantNumber}) {}

  // SQLCloseFtg is the common close.
  RC open(ExportContext& context) noexcept override { return SQLOpenFtg(context); }
  // The dictionary answers are remembered for one tenant.
  void endTenant(ExportContext&) noexcept override { dictionary_.clear(); }

  // The tenant, then the day type's text in the terminal's language; the
  // day type's own text stays when the dictionary has none.
  WriterResult writeRow(ExportContext& context, InterfaceFile& file) noexcept override {
    copyTenant(context);

    // "1" -> "1#", "123" -> "123#", "12345" -> "1234"
    std::string key(dayType_.view());
    key += '#';
    key.resize(std::min(key.size(), kDictionaryKeyLength));

    std::string text;
    // a failed lookup keeps the day type's text
    const WriterResult looked = writerResult(SQLReadDi2Txt(context, key, "TT2TXT", language_, text), [] {});
    if (looked == WriterResult::kStatementTooLong) return looked;
    if (!text.empty()) record_[kText].assign(text);  // cut to the field's 20 characters
    file.write(record_);
    return WriterResult::kOk;
  }

 protected:
  // SQLFetchFtg: the text columns into their fields; the day type and the
  // terminal's language (0 when NULL) beside the record.
  void copyRow(const Row& row) override {
    record_.copyColumns(row, kFtgColumnFields);
    dayType_.assign(row[kDayTypeColumn].view());
    language_ = row[kLanguageColumn] ? leadingInteger(row[kLanguageColumn].view()) : 0;
  }

 private:
  RC SQLOpenFtg(ExportContext& context) noexcept {
    const char* schema = context.schema();
    return openCursor(context.session, cursor_,
                      "SELECT DISTINCT ZLSTRM, cast( Date_format(KA2DTM, '%%Y') as char) as Jahr, cast( "
                      "Date_format(KA2DTM, '%%Y%%m%%d') as char) as Datum, TT2TXT, TT2KRT, KA2NUM, KA2TTP, TRMSPR FROM "
                      "%s.MVS133KA2, mvsystem.MVS401zls,      mvsystem.MVS402zko, %s.MVS132TT2, \t   "
                      "MVSYSTEM.MVS1140TRM WHERE zlszko = zkonum AND KA2DTM >= DATE_ADD(SYSDATE(),INTERVAL - 1 year ) "
                      "AND KA2TTP = TT2NUM AND TT2FTG = 1 AND TRMNAM = ZLSTRM order by ZLSTRM, Datum, KA2NUM ",
                      schema, schema);
  }

  // The dictionary text of a key, field name and language; the text is
  // received whole. The same few keys come again and again: each distinct
  // statement is sent once per tenant and its rows are replayed.
  [[nodiscard]] RC SQLReadDi2Txt(ExportContext& context, const std::string& key, const char* fieldName, long language,
                                 std::string& text) noexcept {
    Statement statement =
        formatStatement("SELECT DI2TXT FROM  %s.MVS122DI2 WHERE DI2KEY = '%s' AND   DI2FNA = '%s' AND   DI2SPR = %ld",
                        context.schema(), context.quoted(key).c_str(), fieldName, language);
    const auto copy = [&text](const Row& row) {
      if (row[0]) text.assign(row[0].view());
    };
    if (context.perRowLookups) return readSingleRow(context.session, std::move(statement), copy);
    return dictionary_.readFirstRow(context.session, std::move(statement), copy);
  }

  BoundedText dayType_{kDayTypeCapacity};  // KA2TTP, key of the dictionary lookup
  long language_ = 0;                      // TRMSPR; 0 when NULL
  RememberedStatements dictionary_;
};

}  // namespace

constexpr FileLayout kFtgLayout = {
    .code = "FTG",
    .fileName = "Feiertage",
    .description =
        "Every holiday from one year back on of every tenant's calendars, for every terminal, "
        "by terminal, date and calendar.",
    .fields = kFtgFormat,
};

WriterResult writeFtgFile(ExportContext& context) noexcept {
  FtgQuery query;
  return runWriter(context, WriterTexts{.start = "Importdatei: %s fuellen...", .tenant = kTenantMessage}, query);
}

}  // namespace sstrxv
