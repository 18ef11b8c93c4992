// Selective creation's side of the export: the database operations it rests
// on, the first-call marks of the five selective writers, and the way a
// selective writer reuses its full writer.
//
// None of the operations of SelectiveSource is available on the MySQL
// database. The program runs with MysqlSelectiveSource, whose operations
// only say so on standard output and return -1; each keeps its name, its
// arguments and its result, so that the flow built on them stays the same
// for a source that delivers rows.
#pragma once

#include <concepts>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "db/runtime.h"
#include "export/context.h"
#include "export/frame.h"
#include "support/log.h"

namespace sstrxv {

// One row of a badge download job. The values are kept whole: the tenant
// number and the second key are the keys of the schema lookup, the badge
// number is the key of the badge writers.
struct DownloadRow {
  std::string jobData;       // not read by selective creation
  std::string tenantNumber;  // becomes the tenant number of the current tenant
  std::string secondKey;
  std::string badgeNumber;  // empty: the row concerns no badge
};

class SelectiveSource {
 public:
  SelectiveSource() = default;
  virtual ~SelectiveSource() = default;
  SelectiveSource(const SelectiveSource&) = delete;
  SelectiveSource& operator=(const SelectiveSource&) = delete;

  // The rows of the download job that the selection key names.
  [[nodiscard]] virtual RC SQLOpenMvsAswDnl(std::string_view selectionKey) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchMvsAswDnl(DownloadRow& row) noexcept = 0;
  virtual RC SQLCloseMvsAswDnl() noexcept = 0;
  // The schema of the tenant of a download row.
  [[nodiscard]] virtual RC SQLGetSchema(std::string_view tenantNumber, std::string_view secondKey,
                                        std::string& schema) noexcept = 0;
  // The control areas that an authorization class reaches.
  [[nodiscard]] virtual RC SQLOpenZKOzurBKL(std::string_view authorizationClass) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchZKOzurBKL(std::string& controlArea) noexcept = 0;
  virtual RC SQLCloseZKOzurBKL() noexcept = 0;

  // The selective cursors of the five writers, for one control area or one
  // badge number. Each fetch delivers the columns of the full writer's
  // cursor in the same order; the writer copies them by its own rule.
  [[nodiscard]] virtual RC SQLOpenS20P_Sel(std::string_view controlArea) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchS20P_Sel(Row& row) noexcept = 0;
  virtual RC SQLCloseS20P_Sel() noexcept = 0;
  [[nodiscard]] virtual RC SQLOpenS35P_Sel(std::string_view controlArea) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchS35P_Sel(Row& row) noexcept = 0;
  virtual RC SQLCloseS35P_Sel() noexcept = 0;
  [[nodiscard]] virtual RC SQLOpenS41P_Sel(std::string_view controlArea) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchS41P_Sel(Row& row) noexcept = 0;
  virtual RC SQLCloseS41P_Sel() noexcept = 0;
  [[nodiscard]] virtual RC SQLOpenAswBkl_Sel(std::string_view badgeNumber) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchAswBkl_Sel(Row& row) noexcept = 0;
  virtual RC SQLCloseAswBkl_Sel() noexcept = 0;
  [[nodiscard]] virtual RC SQLOpenIDS_Sel(std::string_view badgeNumber) noexcept = 0;
  [[nodiscard]] virtual RC SQLFetchIDS_Sel(Row& row) noexcept = 0;
  virtual RC SQLCloseIDS_Sel() noexcept = 0;
};

// The operations as the MySQL database has them: each writes
// "Funktion <name> unter MYSQL nicht implementiert" to standard output,
// without a line end, and returns -1.
class MysqlSelectiveSource final : public SelectiveSource {
 public:
  RC SQLOpenMvsAswDnl(std::string_view) noexcept override;
  RC SQLFetchMvsAswDnl(DownloadRow&) noexcept override;
  RC SQLCloseMvsAswDnl() noexcept override;
  RC SQLGetSchema(std::string_view, std::string_view, std::string&) noexcept override;
  RC SQLOpenZKOzurBKL(std::string_view) noexcept override;
  RC SQLFetchZKOzurBKL(std::string&) noexcept override;
  RC SQLCloseZKOzurBKL() noexcept override;
  RC SQLOpenS20P_Sel(std::string_view) noexcept override;
  RC SQLFetchS20P_Sel(Row&) noexcept override;
  RC SQLCloseS20P_Sel() noexcept override;
  RC SQLOpenS35P_Sel(std::string_view) noexcept override;
  RC SQLFetchS35P_Sel(Row&) noexcept override;
  RC SQLCloseS35P_Sel() noexcept override;
  RC SQLOpenS41P_Sel(std::string_view) noexcept override;
  RC SQLFetchS41P_Sel(Row&) noexcept override;
  RC SQLCloseS41P_Sel() noexcept override;
  RC SQLOpenAswBkl_Sel(std::string_view) noexcept override;
  RC SQLFetchAswBkl_Sel(Row&) noexcept override;
  RC SQLCloseAswBkl_Sel() noexcept override;
  RC SQLOpenIDS_Sel(std::string_view) noexcept override;
  RC SQLFetchIDS_Sel(Row&) noexcept override;
  RC SQLCloseIDS_Sel() noexcept override;
};

// A selective writer recreates its file on its first call of the process
// and appends to it on every later call. The mark ends with the first
// successful open.
struct FirstCall {
  bool pending = true;
};

// The first-call marks of the five selective writers, one each. The driver
// keeps them for the whole run, across its attempts.
struct SelectiveMarks {
  FirstCall idstamm;
  FirstCall aswbkl;
  FirstCall mgsst20p;
  FirstCall mgsst35p;
  FirstCall mgsst41p;
};

// What the selective writers work with besides their key.
struct SelectiveRun {
  ExportContext& context;
  SelectiveSource& source;
  SelectiveMarks& marks;
  bool debug = false;  // the run's DebugFlag
};

// The authorization classes that Fill_AswBklUpd delivered for the current
// badge, in delivery order; selective creation empties the list after
// every download row.
using SelectedClasses = std::vector<std::string>;

inline constexpr StartMessage kControlAreaStart = "Importdatei: %s fuellen: Kontrollbereich: %s";

// One selective writer: its update file beside the command line's path, its
// selective cursor and its first-call mark.
struct SelectiveWriter {
  const char* fileName;  // appended to the path: "//idstamm_upd.imp"
  const char* openName;
  const char* fetchName;
  RC (SelectiveSource::*open)(std::string_view) noexcept;
  RC (SelectiveSource::*fetch)(Row&) noexcept;
  RC (SelectiveSource::*close)() noexcept;
  FirstCall SelectiveMarks::*firstCall;
};

// The update file's own name, without the separator before it: "idstamm_upd.imp".
constexpr std::string_view updateFileName(const SelectiveWriter& writer) {
  const std::string_view name = writer.fileName;
  return name.substr(name.find_first_not_of('/'));
}

// Runs a selective writer's query into its update file: recreated while the
// first-call mark is pending, appended to afterwards. Returns the
// writerResult.
[[nodiscard]] WriterResult runSelectiveWriter(SelectiveRun& run, const WriterTexts& texts, WriterQuery& query,
                                              const SelectiveWriter& writer, std::string_view key,
                                              bool logStart) noexcept;

// What a full writer's query must be for SelectiveQuery: a RowQuery, whose
// nextRow SelectiveQuery replaces, and a class it can derive from. Its
// constructor, which may be protected, takes the names of its open and
// fetch operations first.
template <class Query>
concept SelectableQuery = std::derived_from<Query, RowQuery> && !std::is_final_v<Query>;

// A full writer's query that reads the selective cursor of one key instead
// of its own cursor: the line format, the record, the copy rule and the
// row steps stay those of the full writer.
template <SelectableQuery FullQuery>
class SelectiveQuery : public FullQuery {
 public:
  template <typename... Args>
  SelectiveQuery(SelectiveRun& run, const SelectiveWriter& writer, std::string_view key, Args&&... args)
      : FullQuery(writer.openName, writer.fetchName, std::forward<Args>(args)...),
        run_(run),
        writer_(writer),
        key_(key) {}

  RC open(ExportContext&) noexcept override { return (run_.source.*writer_.open)(key_); }
  void close() noexcept override { static_cast<void>((run_.source.*writer_.close)()); }
  // The file is open: later calls of the process append to it.
  void afterStart(ExportContext&) noexcept override { (run_.marks.*writer_.firstCall).pending = false; }

  // Writes the key's lines into the update file.
  [[nodiscard]] WriterResult write(const WriterTexts& texts, bool logStart = true) noexcept {
    return runSelectiveWriter(run_, texts, *this, writer_, key_, logStart);
  }

 protected:
  RC nextRow(Row& row) noexcept override { return (run_.source.*writer_.fetch)(row); }

 private:
  SelectiveRun& run_;
  const SelectiveWriter& writer_;
  std::string_view key_;
};

}  // namespace sstrxv
