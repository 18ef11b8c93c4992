// The metrics file of the unit's runs, for the text-file collector of the
// Prometheus node exporter: after every run of sstrxv@<instance>.service,
// <directory>/sstrxv_<instance>.prom says how the last run ended (exit code,
// success, end time, duration), when the last successful run ended (kept
// from the previous file while runs fail), and the lines and bytes of the
// interface file now at the output path. The samples carry no time stamps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sstrxv::monitoring {

inline constexpr std::string_view kNodeExporterDirectory = "/var/lib/prometheus/node-exporter";

// One metric of the file, a gauge with its help line.
struct Metric {
  std::string_view name;
  std::string_view help;
};

inline constexpr Metric kExitCode{
    "sstrxv_last_run_exit_code",
    "Exit code of the last run of the unit; 128 plus the signal number when a signal ended it."};
inline constexpr Metric kSuccess{"sstrxv_last_run_success",
                                 "1 when the last run of the unit succeeded, 0 when it failed."};
inline constexpr Metric kRunEnd{"sstrxv_last_run_timestamp_seconds",
                                "When the last run of the unit ended, since the epoch."};
inline constexpr Metric kSuccessEnd{"sstrxv_last_success_timestamp_seconds",
                                    "When the last successful run of the unit ended, since the epoch."};
inline constexpr Metric kDuration{"sstrxv_last_run_duration_seconds", "How long the last run of the unit took."};
inline constexpr Metric kLines{"sstrxv_file_lines",
                               "Lines of the interface file at the output path after the last run."};
inline constexpr Metric kBytes{"sstrxv_file_bytes",
                               "Size in bytes of the interface file at the output path after the last run."};

// A moment: the time of day in seconds since the epoch for the samples, and
// the time since boot (which never jumps) for the duration.
struct Clock {
  double epochSeconds = 0;
  std::int64_t bootNanoseconds = 0;
};
[[nodiscard]] Clock clockNow() noexcept;

// How the run ended, as systemd tells the commands of ExecStopPost=:
// $EXIT_CODE ("exited", "killed", "dumped" or empty when the program never
// ran), $EXIT_STATUS (the exit code, or the signal's name) and
// $SERVICE_RESULT ("success", "exit-code", "timeout", ...).
struct RunEnd {
  std::string exitCode;
  std::string exitStatus;
  std::string serviceResult;
};

struct MetricsRun {
  std::string instance;    // the unit's instance name: the file's name and type
  std::string outputPath;  // the interface file, as given to the program
  std::string metricsDirectory = std::string(kNodeExporterDirectory);
  std::string runtimeDirectory;  // where the run's start was recorded; empty: no duration
  RunEnd end;
  Clock now;
};

enum class MetricsResult {
  kWritten,
  kNoDirectory,  // the metrics directory does not exist: nothing written
  kFailed,       // error says why
};

// Records the start of a run in runtimeDirectory, for the duration.
[[nodiscard]] bool recordRunStart(const std::string& runtimeDirectory, Clock now, std::string& error);

// Writes the metrics file of the run that ended, in one rename, readable by
// everyone (the node exporter runs as its own user).
[[nodiscard]] MetricsResult writeRunMetrics(const MetricsRun& run, std::string& error);

}  // namespace sstrxv::monitoring
