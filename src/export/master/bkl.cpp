// Authorization-class file BKL: every class assignment of every badge that
// is valid now, over all tenants, ordered by badge and class.
#include "export/frame.h"
#include "export/master/master.h"

namespace sstrxv {
namespace {

// badge number, class, licence number, tenant number, BKLSTM (up to 6 characters)
constexpr LineFormat<5> kAswBklFormat = {field(50), field(5), field(5), field(5), field(1, 6)};

class AswBklQuery : public RecordQuery<5> {
 public:
  AswBklQuery() : RecordQuery("SQLOpenAswBkl", "SQLFetchAswBkl", kAswBklFormat) {}

  // SQLFetchAswBkl and SQLCloseAswBkl are the common fetch (the five
  // columns into the five fields) and close.
  RC open(ExportContext& context) noexcept override { return SQLOpenAswBkl(context); }

 private:
  RC SQLOpenAswBkl(ExportContext& context) noexcept {
    return openCursor(
        context.session, cursor_, "%s",
        "SELECT  DISTINCT BKLASW,  BKLBKL , BKLLIZ, BKLMND, BKLSTM FROM MVSYSTEM.MVS301BKL WHERE  BKLGVO <= sysdate() AND   (BKLGBI >= sysdate() OR BKLGBI IS NULL) ORDER BY BKLASW, BKLBKL ");
  }
};

}  // namespace

int writeBklFile(ExportContext& context) noexcept {
  AswBklQuery query;
  return runWriter(context, WriterTexts{}, query);
}

}  // namespace sstrxv
