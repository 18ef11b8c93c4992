#include "tools/nagios_check.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <vector>

#include "export/file_types.h"
#include "support/platform.h"
#include "support/text.h"
#include "tools/monitoring.h"

namespace sstrxv::monitoring {
namespace {

constexpr std::string_view kStateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
constexpr unsigned kDefaultTimeout = 10;
constexpr unsigned kLongestTimeout = 3600;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

constexpr std::string_view kUsage =
    "Usage: sstrxv-check --nagios -w AGE -c AGE [-t SECONDS] OUTPUT-DIRECTORY NAME...\n";

constexpr std::string_view kVersion = "sstrxv-check " SSTRXV_VERSION "\n";
constexpr std::string_view kHelp =
    "Check for Nagios and Icinga: the age and lines of the interface files\n"
    "OUTPUT-DIRECTORY/NAME.imp (NAME is the unit's instance, IDN for IDN.imp;\n"
    "its first three letters are the file type).\n"
    "\n"
    "  -w, --warning=AGE   WARNING when a file's age is outside AGE\n"
    "  -c, --critical=AGE  CRITICAL when a file's age is outside AGE\n"
    "  -t, --timeout=SECONDS  UNKNOWN when no result after SECONDS (default 10)\n"
    "  -h, --help          this text\n"
    "  -V, --version       the version\n"
    "\n"
    "AGE is a threshold range, [@]START:END or END (START 0), in seconds or with\n"
    "s, m, h or d; ~ is minus infinity, an empty END plus infinity, @ alerts\n"
    "inside the range. A file that is missing, no regular file or unreadable is\n"
    "CRITICAL. One status line with the performance data NAME_age (seconds)\n"
    "and NAME_lines of every file.\n"
    "\n"
    "Exit status: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN (also wrong usage).\n"
    "\n"
    "Example: sstrxv-check --nagios -w 26h -c 50h /opt/melvarion/transfer/Pollarix IDN BKL\n";

// A threshold range: the value alerts outside [start, end], or inside it.
struct Range {
  double start = 0;
  double end = kInfinity;
  bool inside = false;

  [[nodiscard]] bool alerts(double value) const noexcept {
    const bool within = value >= start && value <= end;
    return inside ? within : !within;
  }
};

std::optional<double> secondsOf(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
  constexpr std::pair<std::string_view, double> kUnits[] = {{"", 1}, {"s", 1}, {"m", 60}, {"h", 3600}, {"d", 86400}};
  for (const auto& [name, factor] : kUnits) {
    if (unit == name) return value * factor;
  }
  return std::nullopt;
}

std::optional<Range> rangeOf(std::string_view text) {
  Range range;
  if (text.starts_with('@')) {
    range.inside = true;
    text.remove_prefix(1);
  }
  const std::size_t colon = text.find(':');
  const std::string_view startText = colon == std::string_view::npos ? std::string_view("0") : text.substr(0, colon);
  const std::string_view endText = colon == std::string_view::npos ? text : text.substr(colon + 1);
  const std::optional<double> start = startText == "~" ? std::optional<double>(-kInfinity) : secondsOf(startText);
  const std::optional<double> end = endText.empty() && colon != std::string_view::npos ? kInfinity : secondsOf(endText);
  if (!start || !end || *start > *end) return std::nullopt;
  range.start = *start;
  range.end = *end;
  return range;
}

std::string numberText(double value) {
  std::string text;
  appendFormat(text, "%.15g", value);
  return text;
}

// The range as performance data shows it, in seconds.
std::string rangeText(const Range& range) {
  std::string text = range.inside ? "@" : "";
  if (range.start != 0 || std::isinf(range.end))
    text += (std::isinf(range.start) ? "~" : numberText(range.start)) + ":";
  if (!std::isinf(range.end)) text += numberText(range.end);
  return text;
}

std::string ageText(std::int64_t age) {
  constexpr std::int64_t kMinute = 60, kHour = 3600, kDay = 86400;
  std::string text = age < 0 ? "-" : "";
  const auto a = static_cast<long long>(age < 0 ? -age : age);
  if (a >= kDay) {
    appendFormat(text, "%lldd %lldh", a / kDay, a % kDay / kHour);
  } else if (a >= kHour) {
    appendFormat(text, "%lldh %lldm", a / kHour, a % kHour / kMinute);
  } else if (a >= kMinute) {
    appendFormat(text, "%lldm %llds", a / kMinute, a % kMinute);
  } else {
    appendFormat(text, "%llds", a);
  }
  return text;
}

struct Options {
  Range warning;
  Range critical;
  unsigned timeout = kDefaultTimeout;
  std::string directory;
  std::vector<std::string_view> names;
  std::string_view answer;  // --help or --version: printed instead of a check
};

// The options in the forms "-w X", "-wX", "--warning X" and "--warning=X".
std::optional<Options> optionsOf(std::span<const std::string_view> arguments, std::string& error) {
  Options options;
  bool warning = false, critical = false;
  std::vector<std::string_view> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "-h" || argument == "--help" || argument == "-V" || argument == "--version") {
      options.answer = argument == "-h" || argument == "--help" ? kHelp : kVersion;
      return options;
    }
    if (!argument.starts_with('-') || argument.size() == 1) {
      positional.push_back(argument);
      continue;
    }
    constexpr std::pair<std::string_view, std::string_view> kOptions[] = {
        {"-w", "--warning"}, {"-c", "--critical"}, {"-t", "--timeout"}};
    std::string_view option, value;
    bool hasValue = false;
    for (const auto& [shortName, longName] : kOptions) {
      if (argument.starts_with(longName) && (argument.size() == longName.size() || argument[longName.size()] == '=')) {
        option = shortName;
        hasValue = argument.size() > longName.size();
        if (hasValue) value = argument.substr(longName.size() + 1);
      } else if (argument.starts_with(shortName) && !argument.starts_with("--")) {
        option = shortName;
        hasValue = argument.size() > shortName.size();
        if (hasValue) value = argument.substr(shortName.size());
      }
    }
    if (option.empty()) {
      error = "unknown option " + shownName(argument);
      return std::nullopt;
    }
    if (!hasValue) {
      if (++i == arguments.size()) {
        error = "option " + shownName(argument) + " needs a value";
        return std::nullopt;
      }
      value = arguments[i];
    }
    if (option == "-t") {
      unsigned seconds = 0;
      const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (failure != std::errc() || end != value.data() + value.size() || seconds == 0 || seconds > kLongestTimeout) {
        error = "the timeout is not a number of seconds from 1 to 3600: " + shownName(value);
        return std::nullopt;
      }
      options.timeout = seconds;
      continue;
    }
    const std::optional<Range> range = rangeOf(value);
    if (!range) {
      error = "not a threshold range: " + shownName(value);
      return std::nullopt;
    }
    (option == "-w" ? options.warning : options.critical) = *range;
    (option == "-w" ? warning : critical) = true;
  }
  if (!warning || !critical || positional.size() < 2) {
    error = !warning ? "no warning age (-w)" : !critical ? "no critical age (-c)" : "no output directory and names";
    return std::nullopt;
  }
  options.directory = platform::nativePath(positional.front());
  options.names.assign(positional.begin() + 1, positional.end());
  for (const std::string_view name : options.names) {
    std::string type(name.substr(0, 3));
    std::transform(type.begin(), type.end(), type.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
    if (!isInstanceName(name) || findFileType(type) == nullptr) {
      error = "not a file type's name: " + shownName(name);
      return std::nullopt;
    }
  }
  return options;
}

std::string_view stateReason(FileState state) {
  switch (state) {
    case FileState::kMissing:
      return "missing";
    case FileState::kNotRegular:
      return "not a regular file";
    case FileState::kLinkOnTheWay:
      return "behind a link, not followed";
    case FileState::kUnreadable:
    case FileState::kRegular:
      break;
  }
  return "unreadable";
}

int check(const Options& options, std::int64_t now, std::string& out) {
  int worst = kNagiosOk;
  std::string problems, performance, oldest;
  std::int64_t oldestAge = std::numeric_limits<std::int64_t>::min();
  for (const std::string_view name : options.names) {
    const std::string file = std::string(name) + ".imp";
    const FileCount count = countFile(options.directory + "/" + file);
    int state = kNagiosCritical;
    std::string ageValue = "U", linesValue = "U", reason(stateReason(count.state));
    if (count.state == FileState::kRegular) {
      const std::int64_t age = now - static_cast<std::int64_t>(count.modified.tv_sec);
      const auto seconds = static_cast<double>(age);
      state = options.critical.alerts(seconds)  ? kNagiosCritical
              : options.warning.alerts(seconds) ? kNagiosWarning
                                                : kNagiosOk;
      ageValue = std::to_string(age) + "s";
      linesValue = std::to_string(count.lines);
      reason = ageText(age) + " old";
      if (age > oldestAge) oldestAge = age, oldest = file + " " + reason;
    }
    worst = std::max(worst, state);
    if (state != kNagiosOk) problems += (problems.empty() ? "" : ", ") + file + " " + reason;
    appendFormat(performance, " %.*s_age=%s;%s;%s %.*s_lines=%s;;;0", static_cast<int>(name.size()), name.data(),
                 ageValue.c_str(), rangeText(options.warning).c_str(), rangeText(options.critical).c_str(),
                 static_cast<int>(name.size()), name.data(), linesValue.c_str());
  }
  const char* plural = options.names.size() == 1 ? "" : "s";
  out += "SSTRXV ";
  out += kStateNames[worst];
  out += " - ";
  if (problems.empty()) {
    appendFormat(out, "%zu file%s, the oldest %s", options.names.size(), plural, oldest.c_str());
  } else {
    appendFormat(out, "%s (%zu file%s)", problems.c_str(), options.names.size(), plural);
  }
  out += " |" + performance + "\n";
  return worst;
}

extern "C" void endAtTimeout(int) {
  constexpr std::string_view kTimedOut = "SSTRXV UNKNOWN - no result within the timeout (-t)\n";
  [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, kTimedOut.data(), kTimedOut.size());
  ::_exit(kNagiosUnknown);
}

}  // namespace

int checkInterfaceFiles(std::span<const std::string_view> arguments, std::int64_t now, std::string& out) {
  std::string error;
  const std::optional<Options> options = optionsOf(arguments, error);
  if (!options) {
    out += "SSTRXV UNKNOWN - " + error + "\n";
    out += kUsage;
    return kNagiosUnknown;
  }
  if (!options->answer.empty()) {
    out += options->answer;
    return kNagiosUnknown;
  }
  return check(*options, now, out);
}

int runNagiosCheck(int argc, const char* const* argv) {
  const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
  std::string error;
  if (const std::optional<Options> options = optionsOf(arguments, error); options && options->answer.empty()) {
    struct sigaction action {};
    action.sa_handler = endAtTimeout;
    ::sigaction(SIGALRM, &action, nullptr);
    ::alarm(options->timeout);
  }
  std::string out;
  const int code = checkInterfaceFiles(arguments, static_cast<std::int64_t>(std::time(nullptr)), out);
  ::alarm(0);
  const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0;
  return written ? code : kNagiosUnknown;
}

}  // namespace sstrxv::monitoring
