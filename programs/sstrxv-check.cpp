// sstrxv-check: checks a site's set-up before the first run, in the
// program's working directory.
#include <cstdio>
#include <string>
#include <string_view>

#include "support/descriptors.h"
#include "support/env.h"
#include "support/memory.h"
#include "tools/nagios_check.h"
#include "tools/site_check.h"

namespace {

constexpr int kExitUsage = 2;
// Out of memory: the check failed (1), for --nagios UNKNOWN.
constexpr sstrxv::MemoryExhaustion kOutOfMemory{"sstrxv-check: out of memory\n", sstrxv::kSiteCheckFailed};
constexpr sstrxv::MemoryExhaustion kNagiosOutOfMemory{"sstrxv-check: out of memory\n",
                                                      sstrxv::monitoring::kNagiosUnknown};

constexpr std::string_view kHelp =
    "Usage: sstrxv-check OUTPUT-DIRECTORY\n"
    "Check the set-up of a site as SSTRXV would find it, run in SSTRXV's working\n"
    "directory (for the systemd units /opt/melvarion/bin/sstrxv).\n"
    "\n"
    "One line per check, OK or FAIL with the reason:\n"
    "\n"
    "  -  the settings file ../../Files/Melvarion.Ini and which of NET8, LOGIN and\n"
    "     PASS it holds (host and user shown, the password only by its length);\n"
    "  -  the connection to MVSYSTEM with them, and the product release;\n"
    "  -  the tenants the tenant walk visits, and whether each schema name is a\n"
    "     plain identifier;\n"
    "  -  per file type, that the server accepts its writer's statements, with\n"
    "     their tables, columns, functions and privileges, for every tenant it\n"
    "     walks: the writer runs with every statement limited to one row and its\n"
    "     lines going nowhere (a lookup sent per row is judged where such a row\n"
    "     is there); a failure names the type, the tenant and the server's text;\n"
    "  -  that the log directory ../../Melvarion_php/log and OUTPUT-DIRECTORY are\n"
    "     writable (a scratch file is created and removed);\n"
    "  -  that SaldoRXV.ini and the premium file ../../transfer/QORV/PraemienQORV.txt\n"
    "     can be read.\n"
    "\n"
    "Without a connection, what needs the database is \"not checked\".\n"
    "It writes no interface file, no log line and nothing to the database.\n"
    "Paths are shown with \"/\", a missing file with where it was looked for.\n"
    "\n"
    "Backslashes in OUTPUT-DIRECTORY are directory separators, as for SSTRXV.\n"
    "\n"
    "Options:\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "  --nagios   a check of the interface files' age for Nagios and Icinga\n"
    "             (sstrxv-check --nagios --help lists its options)\n"
    "\n"
    "Exit status: 0 every check passed, 1 a check failed, 2 wrong usage.\n"
    "\n"
    "Example: cd /opt/melvarion/bin/sstrxv && sstrxv-check ../../transfer/Pollarix\n";

bool writeOut(std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (first == "--nagios") {
    sstrxv::endProcessWhenMemoryRunsOut<kNagiosOutOfMemory>();
    return sstrxv::monitoring::runNagiosCheck(argc - 1, argv + 1);
  }
  sstrxv::endProcessWhenMemoryRunsOut<kOutOfMemory>();
  if (argc == 2 && first == "--help") return writeOut(kHelp) ? 0 : kExitUsage;
  if (argc == 2 && first == "--version") return writeOut("sstrxv-check " SSTRXV_VERSION "\n") ? 0 : kExitUsage;
  if (argc != 2 || first.starts_with("--")) {
    std::fputs("Usage: sstrxv-check OUTPUT-DIRECTORY\nTry 'sstrxv-check --help'.\n", stderr);
    return kExitUsage;
  }
  sstrxv::Env env;  // the real one: the paths of a run in this working directory
  std::string report;
  const int code = sstrxv::checkSite(env, first, report);
  return writeOut(report) ? code : kExitUsage;
}
