#include "driver/driver.h"

#include <clocale>
#include <cstdio>
#include <string>

#include "db/session.h"
#include "driver/connect.h"
#include "driver/selective.h"
#include "export/file_types.h"
#include "support/log.h"
#include "support/platform.h"

namespace sstrxv {

namespace {

constexpr std::string_view kUsageHead =
    "\n"
    "************************************************************\n"
    "** Melvarion                                              **\n"
    "** Projekt     : Pollarix                                 **\n"
    "** Tool        : von RXV                                  **\n"
    "** Beschreibung: Fuellt Schnittstellendatei xxxxxx.imp    **\n"
    "**               mit Daten aus Melvarion RXV              **\n"
    "************************************************************\n"
    "\n"
    "Befehlsformat: \n"
    "SSTRxv_<DBSys>.exe  <Dateiname> <Dateityp>  [/D] \n"
    "DBSys     : Datenbanksystem\n"
    "Dateiname : vollst\xE4ndiger Pfad und Name der Schnittstellendatei \n";
// Then one line per file type: the first after this label, the others
// indented as far.
constexpr std::string_view kFileTypeLabel = "Dateityp  : ";
constexpr std::string_view kFileTypeIndent = "            ";
constexpr std::string_view kUsageTail =
    "            xxx  (14 stellig) f. selektive Erstellung\n"
    "/D        : DebugFlag, optional, Ausgabe von Meldungen im DOS-Fenster\n"
    "\n"
    "SSTRxv.EXE ../Transfer/Pollarix/mgsst35p.imp  35p  /D  \n"
    "\n";

}  // namespace

std::string usageText() {
  std::string text(kUsageHead);
  std::string_view before = kFileTypeLabel;
  for (const FileTypeEntry& type : fileTypes()) {
    text += before;
    text += type.usageLine();
    text += '\n';
    before = kFileTypeIndent;
  }
  text += kUsageTail;
  return text;
}

int exitCode(WriterResult result) noexcept {
  switch (result) {
    case WriterResult::kOk:
      return EXIT_DONE;
    case WriterResult::kStatementTooLong:
      return EXIT_STATEMENT_TOO_LONG;
    case WriterResult::kFileError:
    case WriterResult::kDbError:
      break;
  }
  return EXIT_FAILED;
}

namespace {

// Up to five attempts, with a pause before each next one and a
// reconnection after a database error; logs the final message and
// disconnects. Returns the exit code.
template <typename Attempt>
int attemptLoop(RunState& run, Attempt&& attempt) noexcept {
  const char* fileType = run.FileType.c_str();
  for (int number = 1;; ++number) {
    const WriterResult result = attempt();
    // A statement that reached its limit ends the run at once.
    if (result == WriterResult::kStatementTooLong) return exitCode(result);
    if (result == WriterResult::kOk) {
      logMessage(run.env, "Die Schnittstellendatei vom Dateityp '%s' wurde erstellt!", fileType);
    } else if (number == kMaxAttempts) {
      logMessage(run.env, "Die Schnittstellendatei vom Dateityp '%s' konnte nicht erstellt werden!", fileType);
    } else if (result == WriterResult::kDbError && !dbReconnect(run.session)) {
      logMessage(run.env,
                 "Die Schnittstellendatei vom Dateityp '%s' konnte auf Grund von DB-Verbindungproblemen nicht erstellt "
                 "werden.",
                 fileType);
    } else {
      run.env.pauseMilliseconds(kAttemptPauseMs);
      continue;
    }
    dbDisconnect(run.session);
    return exitCode(result);
  }
}

}  // namespace

int runAttempts(RunState& run, Writer writer) noexcept {
  return attemptLoop(run, [&]() noexcept { return writer(run.exportContext); });
}

int runSelectiveAttempts(RunState& run, SelectiveSource& source) noexcept {
  SelectiveRun selective{run.exportContext, source, run.selectiveMarks, run.env.log.DebugFlag == 1};
  return attemptLoop(run, [&]() noexcept { return Fill_SelAswDnl(selective, run.FileType.view()); });
}

int runProgram(int argc, const char* const* argv) noexcept {
  Env env;
  return runProgram(argc, argv, env);
}

int runProgram(int argc, const char* const* argv, Env& env, const ConnectionOptions& options) noexcept {
  std::setlocale(LC_NUMERIC, "C");
  platform::ignoreFileSizeSignal();

  if (argc < 3) {
    const std::string text = usageText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return EXIT_USAGE;
  }
  int debugFlag = 0;
  if (argc == 4 && (std::string_view(argv[3]) == "/d" || std::string_view(argv[3]) == "/D")) {
    debugFlag = 1;
  }

  env.log.DebugFlag = debugFlag;
  RunState run(env);
  run.session.options = options;

  if (connectWithSettings(run.session) != RC_OK && !dbReconnect(run.session)) return exitCode(WriterResult::kDbError);

  ExportContext& context = run.exportContext;
  context.currentSchema.assign(kDefaultSchema);
  run.FileType.assign(argv[2]);
  upperCase(run.FileType.text());
  context.interfaceFilePath = argv[1];
  // A version that cannot be read stays 0.0; only a statement that reached
  // its limit ends the run.
  const WriterResult version =
      writerResult(readProductVersion(run.session, kProductPattern, context.productVersion), [] {});
  if (version == WriterResult::kStatementTooLong) return exitCode(version);

  const FileTypeEntry* entry = findFileType(run.FileType.view());
  if (entry == nullptr && run.FileType.size() == kSelectionKeyLength) {
    // A 14-character key that begins with no code names a download job.
    MysqlSelectiveSource source;
    return runSelectiveAttempts(run, source);
  }
  if (entry == nullptr || entry->writer == nullptr) {
    logMessage(run.env, "Error: Dateityp '%s' ungueltig !", run.FileType.c_str());
    dbDisconnect(run.session);
    return EXIT_USAGE;
  }
  return runAttempts(run, entry->writer);
}

}  // namespace sstrxv
