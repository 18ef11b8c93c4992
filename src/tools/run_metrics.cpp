#include "tools/run_metrics.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>
#include <optional>

#include "support/platform.h"
#include "support/text.h"
#include "tools/monitoring.h"

namespace sstrxv::monitoring {
namespace {

constexpr std::string_view kStartStamp = "start";
constexpr std::size_t kPreviousFileLimit = std::size_t{64} << 10;
constexpr int kSignalExitBase = 128;  // a signal's end, reported as a shell does

std::string labelsOf(std::string_view instance) {
  std::string labels = "{unit=\"sstrxv@";
  for (const char c : instance) {
    if (c == '\\' || c == '"') labels += '\\';
    labels += c;
  }
  return labels + ".service\"}";
}

void appendSample(std::string& out, const Metric& metric, std::string_view labels, std::string_view value) {
  appendFormat(out, "# HELP %.*s %.*s\n# TYPE %.*s gauge\n", static_cast<int>(metric.name.size()), metric.name.data(),
               static_cast<int>(metric.help.size()), metric.help.data(), static_cast<int>(metric.name.size()),
               metric.name.data());
  out.append(metric.name).append(labels).append(" ").append(value).append("\n");
}

std::string seconds(double value) {
  std::string text;
  appendFormat(text, "%.3f", value);
  return text;
}

template <typename Number>
std::optional<Number> numberOf(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The exit code systemd reports: the program's own, or 128 plus the number
// of the signal that ended it.
std::optional<int> exitCodeOf(const RunEnd& end) {
  if (end.exitCode == "exited") return numberOf<int>(end.exitStatus);
  if (end.exitCode != "killed" && end.exitCode != "dumped") return std::nullopt;
  if (const auto number = numberOf<int>(end.exitStatus)) return kSignalExitBase + *number;
  for (int signal = 1; signal < NSIG; ++signal) {
    const char* name = ::sigabbrev_np(signal);
    if (name != nullptr && end.exitStatus == name) return kSignalExitBase + signal;
  }
  return std::nullopt;
}

// The last successful run's end in the previous file of this instance.
std::optional<double> previousSuccessEnd(int dir, const std::string& name, std::string_view labels) {
  const std::optional<std::string> previous = readSmallFile(dir, name, kPreviousFileLimit);
  if (!previous) return std::nullopt;
  const std::string text = "\n" + *previous;
  const std::string start = "\n" + std::string(kSuccessEnd.name) + std::string(labels) + " ";
  const std::size_t at = text.find(start);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t from = at + start.size();
  const auto value = numberOf<double>(std::string_view(text).substr(from, text.find('\n', from) - from));
  if (!value || !std::isfinite(*value) || *value < 0) return std::nullopt;
  return value;
}

// The run's duration from its start stamp, which is used up.
std::optional<double> durationSince(const std::string& runtimeDirectory, Clock now) {
  if (runtimeDirectory.empty()) return std::nullopt;
  const platform::FileHandle dir = openDirectory(runtimeDirectory);
  if (!dir) return std::nullopt;
  const std::string name(kStartStamp);
  const std::optional<std::string> stamp = readSmallFile(dir.get(), name, kPreviousFileLimit);
  ::unlinkat(dir.get(), name.c_str(), 0);
  if (!stamp || stamp->empty() || stamp->back() != '\n') return std::nullopt;
  const auto start = numberOf<std::int64_t>(std::string_view(*stamp).substr(0, stamp->size() - 1));
  if (!start || *start > now.bootNanoseconds) return std::nullopt;
  constexpr double kNanosecondsPerSecond = 1e9;
  return static_cast<double>(now.bootNanoseconds - *start) / kNanosecondsPerSecond;
}

std::string reason(std::string_view what, const std::string& path) {
  return std::string(what) + " " + shownName(path) + ": " + std::strerror(errno);
}

}  // namespace

Clock clockNow() noexcept {
  std::timespec epoch{};
  std::timespec boot{};
  ::clock_gettime(CLOCK_REALTIME, &epoch);
  ::clock_gettime(CLOCK_BOOTTIME, &boot);
  constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
  return Clock{static_cast<double>(epoch.tv_sec) + static_cast<double>(epoch.tv_nsec) / 1e9,
               static_cast<std::int64_t>(boot.tv_sec) * kNanosecondsPerSecond + boot.tv_nsec};
}

bool recordRunStart(const std::string& runtimeDirectory, Clock now, std::string& error) {
  const platform::FileHandle dir = openDirectory(runtimeDirectory);
  if (!dir) {
    error = reason("runtime directory", runtimeDirectory);
    return false;
  }
  const std::string stamp = std::to_string(now.bootNanoseconds) + "\n";
  if (!replaceFile(dir.get(), std::string(kStartStamp), stamp, S_IRUSR | S_IWUSR)) {
    error = reason("start stamp in", runtimeDirectory);
    return false;
  }
  return true;
}

MetricsResult writeRunMetrics(const MetricsRun& run, std::string& error) {
  if (!isInstanceName(run.instance)) {
    error = "not an instance name: " + shownName(run.instance);
    return MetricsResult::kFailed;
  }
  const std::optional<double> duration = durationSince(run.runtimeDirectory, run.now);
  const platform::FileHandle dir = openDirectory(run.metricsDirectory);
  if (!dir && errno == ENOENT) return MetricsResult::kNoDirectory;
  if (!dir) {
    error = reason("metrics directory", run.metricsDirectory);
    return MetricsResult::kFailed;
  }
  const std::string name = "sstrxv_" + run.instance + ".prom";
  const std::string labels = labelsOf(run.instance);
  const bool succeeded = run.end.serviceResult == "success";
  const std::optional<double> successEnd =
      succeeded ? std::optional<double>(run.now.epochSeconds) : previousSuccessEnd(dir.get(), name, labels);
  const FileCount file = countFile(platform::nativePath(run.outputPath));

  std::string text;
  if (const std::optional<int> code = exitCodeOf(run.end)) appendSample(text, kExitCode, labels, std::to_string(*code));
  appendSample(text, kSuccess, labels, succeeded ? "1" : "0");
  appendSample(text, kRunEnd, labels, seconds(run.now.epochSeconds));
  if (successEnd) appendSample(text, kSuccessEnd, labels, seconds(*successEnd));
  if (duration) appendSample(text, kDuration, labels, seconds(*duration));
  if (file.state == FileState::kRegular) {
    appendSample(text, kLines, labels, std::to_string(file.lines));
    appendSample(text, kBytes, labels, std::to_string(file.bytes));
  }
  if (!replaceFile(dir.get(), name, text, S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH)) {
    error = reason("metrics file", run.metricsDirectory + "/" + name);
    return MetricsResult::kFailed;
  }
  return MetricsResult::kWritten;
}

}  // namespace sstrxv::monitoring
