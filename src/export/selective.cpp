#include "export/selective.h"

#include <cstdio>

namespace sstrxv {
namespace {

RC notOnMysql(std::string_view operation) noexcept {
  std::fputs("Funktion ", stdout);
  std::fwrite(operation.data(), 1, operation.size(), stdout);
  std::fputs(" unter MYSQL nicht implementiert", stdout);
  std::fflush(stdout);
  return RC_FAILED;
}

}  // namespace

RC MysqlSelectiveSource::SQLOpenMvsAswDnl(std::string_view) noexcept { return notOnMysql("SQLOpenMvsAswDnl"); }
RC MysqlSelectiveSource::SQLFetchMvsAswDnl(DownloadRow&) noexcept { return notOnMysql("SQLFetchMvsAswDnl"); }
RC MysqlSelectiveSource::SQLCloseMvsAswDnl() noexcept { return notOnMysql("SQLCloseMvsAswDnl"); }
RC MysqlSelectiveSource::SQLGetSchema(std::string_view, std::string_view, std::string&) noexcept {
  return notOnMysql("SQLGetSchema");
}
RC MysqlSelectiveSource::SQLOpenZKOzurBKL(std::string_view) noexcept { return notOnMysql("SQLOpenZKOzurBKL"); }
RC MysqlSelectiveSource::SQLFetchZKOzurBKL(std::string&) noexcept { return notOnMysql("SQLFetchZKOzurBKL"); }
RC MysqlSelectiveSource::SQLCloseZKOzurBKL() noexcept { return notOnMysql("SQLCloseZKOzurBKL"); }
RC MysqlSelectiveSource::SQLOpenS20P_Sel(std::string_view) noexcept { return notOnMysql("SQLOpenS20P_Sel"); }
RC MysqlSelectiveSource::SQLFetchS20P_Sel(Row&) noexcept { return notOnMysql("SQLFetchS20P_Sel"); }
RC MysqlSelectiveSource::SQLCloseS20P_Sel() noexcept { return notOnMysql("SQLCloseS20P_Sel"); }
RC MysqlSelectiveSource::SQLOpenS35P_Sel(std::string_view) noexcept { return notOnMysql("SQLOpenS35P_Sel"); }
RC MysqlSelectiveSource::SQLFetchS35P_Sel(Row&) noexcept { return notOnMysql("SQLFetchS35P_Sel"); }
RC MysqlSelectiveSource::SQLCloseS35P_Sel() noexcept { return notOnMysql("SQLCloseS35P_Sel"); }
RC MysqlSelectiveSource::SQLOpenS41P_Sel(std::string_view) noexcept { return notOnMysql("SQLOpenS41P_Sel"); }
RC MysqlSelectiveSource::SQLFetchS41P_Sel(Row&) noexcept { return notOnMysql("SQLFetchS41P_Sel"); }
RC MysqlSelectiveSource::SQLCloseS41P_Sel() noexcept { return notOnMysql("SQLCloseS41P_Sel"); }
RC MysqlSelectiveSource::SQLOpenAswBkl_Sel(std::string_view) noexcept { return notOnMysql("SQLOpenAswBkl_Sel"); }
RC MysqlSelectiveSource::SQLFetchAswBkl_Sel(Row&) noexcept { return notOnMysql("SQLFetchAswBkl_Sel"); }
RC MysqlSelectiveSource::SQLCloseAswBkl_Sel() noexcept { return notOnMysql("SQLCloseAswBkl_Sel"); }
RC MysqlSelectiveSource::SQLOpenIDS_Sel(std::string_view) noexcept { return notOnMysql("SQLOpenIDS_Sel"); }
RC MysqlSelectiveSource::SQLFetchIDS_Sel(Row&) noexcept { return notOnMysql("SQLFetchIDS_Sel"); }
RC MysqlSelectiveSource::SQLCloseIDS_Sel() noexcept { return notOnMysql("SQLCloseIDS_Sel"); }

WriterResult runSelectiveWriter(SelectiveRun& run, const WriterTexts& texts, WriterQuery& query,
                                const SelectiveWriter& writer, std::string_view key, bool logStart) noexcept {
  OutputTarget target;
  target.path = run.context.interfaceFilePath + writer.fileName;
  target.key = key;
  target.mode = (run.marks.*writer.firstCall).pending ? platform::OutputMode::kRecreate : platform::OutputMode::kAppend;
  target.logStart = logStart;
  return runWriter(run.context, texts, query, target);
}

}  // namespace sstrxv
