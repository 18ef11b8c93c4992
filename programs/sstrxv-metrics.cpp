// sstrxv-metrics: the unit's ExecStartPre= and ExecStopPost= helper that
// writes the metrics file of every run for the node exporter.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/memory.h"
#include "tools/run_metrics.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Out of memory: the file could not be written (1).
constexpr sstrxv::MemoryExhaustion kOutOfMemory{"sstrxv-metrics: out of memory\n", kExitFailed};

constexpr std::string_view kHelp =
    "Usage: sstrxv-metrics start\n"
    "       sstrxv-metrics finish INSTANCE OUTPUT-FILE [METRICS-DIRECTORY]\n"
    "The helper of the unit sstrxv@.service that writes, after every run, the\n"
    "metrics file METRICS-DIRECTORY/sstrxv_INSTANCE.prom for the text-file\n"
    "collector of the Prometheus node exporter (default directory\n"
    "/var/lib/prometheus/node-exporter; when it does not exist, nothing is\n"
    "written). \"start\" (ExecStartPre=) records the start of the run in\n"
    "$RUNTIME_DIRECTORY; \"finish\" (ExecStopPost=) takes how the run ended from\n"
    "$EXIT_CODE, $EXIT_STATUS and $SERVICE_RESULT, which systemd sets, and the\n"
    "lines and bytes of OUTPUT-FILE (relative to the working directory,\n"
    "backslashes as separators).\n"
    "\n"
    "Exit status: 0 written, or no metrics directory; 1 it could not be written;\n"
    "2 wrong usage.\n";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

int failed(const std::string& error) {
  std::fprintf(stderr, "sstrxv-metrics: %s\n", error.c_str());
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  sstrxv::endProcessWhenMemoryRunsOut<kOutOfMemory>();
  using namespace sstrxv::monitoring;
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (argc == 2 && command == "--help") return std::fputs(kHelp.data(), stdout) < 0 ? kExitUsage : 0;
  std::string error;
  if (argc == 2 && command == "start") {
    return recordRunStart(environment("RUNTIME_DIRECTORY"), clockNow(), error) ? 0 : failed(error);
  }
  if ((argc == 4 || argc == 5) && command == "finish") {
    MetricsRun run;
    run.instance = argv[2];
    run.outputPath = argv[3];
    if (argc == 5) run.metricsDirectory = argv[4];
    run.runtimeDirectory = environment("RUNTIME_DIRECTORY");
    run.end = RunEnd{environment("EXIT_CODE"), environment("EXIT_STATUS"), environment("SERVICE_RESULT")};
    run.now = clockNow();
    return writeRunMetrics(run, error) == MetricsResult::kFailed ? failed(error) : 0;
  }
  std::fputs("Usage: sstrxv-metrics start | finish INSTANCE OUTPUT-FILE [METRICS-DIRECTORY]\n", stderr);
  return kExitUsage;
}
