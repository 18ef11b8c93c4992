// Authorization-class file BKL: every class assignment of every badge that
// is valid now, over all tenants, ordered by badge and class. The selective
// writer writes the same lines for one badge number into aswbkl_upd.imp and
// collects the classes for selective creation.
#include "export/frame.h"
#include "export/master/master.h"
#include "export/selective.h"

namespace sstrxv {
namespace {

constexpr LineFormat<5> kAswBklFormat = {
    field(50, "badge number", "BKLASW"),  field(5, "authorization class", "BKLBKL"),
    field(5, "licence number", "BKLLIZ"), field(5, "tenant number", "BKLMND"),
    field(1, 6, "class mark", "BKLSTM"),
};
constexpr unsigned kClassColumn = 1;

class AswBklQuery : public RecordQuery<5> {
 public:
  AswBklQuery() : AswBklQuery("SQLOpenAswBkl", "SQLFetchAswBkl") {}

  // SQLFetchAswBkl and SQLCloseAswBkl are the common fetch (the five
  // columns into the five fields) and close.
  RC open(ExportContext& context) noexcept override { return SQLOpenAswBkl(context); }

 protected:
  AswBklQuery(const char* openName, const char* fetchName) : RecordQuery(openName, fetchName, kAswBklFormat) {}

 private:
  RC SQLOpenAswBkl(ExportContext& context) noexcept {
    return openCursor(context.session, cursor_, "%s",
                      "SELECT  DISTINCT BKLASW,  BKLBKL , BKLLIZ, BKLMND, BKLSTM FROM MVSYSTEM.MVS301BKL WHERE  BKLGVO "
                      "<= sysdate() AND   (BKLGBI >= sysdate() OR BKLGBI IS NULL) ORDER BY BKLASW, BKLBKL ");
  }
};

constexpr SelectiveWriter kAswBklSelective = {"//aswbkl_upd.imp",
                                              "SQLOpenAswBkl_Sel",
                                              "SQLFetchAswBkl_Sel",
                                              &SelectiveSource::SQLOpenAswBkl_Sel,
                                              &SelectiveSource::SQLFetchAswBkl_Sel,
                                              &SelectiveSource::SQLCloseAswBkl_Sel,
                                              &SelectiveMarks::aswbkl};

// The class lines of one badge; every class delivered also goes into the
// class list, whole, since it is the key of the control-area lookup.
class AswBklSelectiveQuery : public SelectiveQuery<AswBklQuery> {
 public:
  AswBklSelectiveQuery(SelectiveRun& run, std::string_view badgeNumber, SelectedClasses& classes)
      : SelectiveQuery(run, kAswBklSelective, badgeNumber), classes_(classes) {}

 protected:
  void copyRow(const Row& row) override {
    SelectiveQuery::copyRow(row);
    classes_.emplace_back(row[kClassColumn].view());
  }

 private:
  SelectedClasses& classes_;
};

}  // namespace

constexpr FileLayout kBklLayout = {
    .code = "BKL",
    .fileName = "Berechtigungsklassen",
    .description = "Every class assignment valid now of every badge, over all tenants, by badge and class.",
    .fields = kAswBklFormat,
    .updateFile = updateFileName(kAswBklSelective),
};

WriterResult writeBklFile(ExportContext& context) noexcept {
  AswBklQuery query;
  return runWriter(context, WriterTexts{}, query);
}

WriterResult Fill_AswBklUpd(SelectiveRun& run, std::string_view badgeNumber,
                            SelectedClasses& selectedClasses) noexcept {
  AswBklSelectiveQuery query(run, badgeNumber, selectedClasses);
  return query.write(WriterTexts{});
}

}  // namespace sstrxv
