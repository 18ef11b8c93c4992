// The run log: one time-stamped line per message, rotated to one
// predecessor file above 10 MiB, echoed to the console instead with /D.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sstrxv {

inline constexpr std::uintmax_t kLogRotationBytes = 10u * 1024u * 1024u;

class Env;

// The log's own settings, kept in the run's environment (Env::log); the
// driver sets the debug switch at start-up.
struct LogSettings {
  int DebugFlag = 0;  // 1: messages go to the console instead of the log
  std::string logPath = "..\\..\\Melvarion_php\\log\\sstrxv.log";
  std::string oldLogPath = "..\\..\\Melvarion_php\\log\\sstrxv.old";
};

// The run log itself, where the environment's writeLog puts a message:
// with DebugFlag on the console; otherwise one line, stamped by the
// environment's clock, appended to the log file of its settings. Never
// fails towards its caller: a message that cannot reach the log file goes
// to standard error instead of being lost.
void writeRunLog(Env& env, std::string_view message) noexcept;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
// Formats a message (the shared message text) and hands it to the
// environment's writeLog.
void logMessage(Env& env, const char* format, ...) noexcept;

// A message text kept apart from the call that logs it (the frame's
// per-writer messages). It is checked when the program is compiled: it
// holds between MinPlaces and MaxPlaces "%s" and no other conversion but
// "%%". The caller passes MaxPlaces texts; a format with fewer places
// leaves the last ones unused.
template <int MinPlaces, int MaxPlaces = MinPlaces>
class MessageFormat {
 public:
  // NOLINTNEXTLINE(google-explicit-constructor): written as a plain literal
  consteval MessageFormat(const char* text) : text_(text) {
    int places = 0;
    for (const char* c = text; *c != '\0'; ++c) {
      if (*c != '%') continue;
      ++c;
      if (*c == 's')
        ++places;
      else if (*c != '%')
        throw "a message text may hold only %s and %%";
    }
    if (places < MinPlaces || places > MaxPlaces) throw "wrong number of %s in a message text";
  }
  [[nodiscard]] const char* text() const noexcept { return text_; }

 private:
  const char* text_;
};

namespace detail {
// The format has been checked by MessageFormat; it is no literal here.
void logCheckedMessage(Env& env, const char* format, ...) noexcept;
}  // namespace detail

// Formats a checked message with its texts and writes it.
template <int MinPlaces, int MaxPlaces, typename... Texts>
requires(sizeof...(Texts) == MaxPlaces) void logMessage(Env& env, MessageFormat<MinPlaces, MaxPlaces> format,
                                                        const Texts&... texts) noexcept {
  detail::logCheckedMessage(env, format.text(), static_cast<const char*>(texts)...);
}

}  // namespace sstrxv
