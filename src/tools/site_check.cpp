#include "tools/site_check.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "db/runtime.h"
#include "db/session.h"
#include "export/balance/premium.h"
#include "export/balance/saldo_settings.h"
#include "export/tenants.h"
#include "support/env.h"
#include "support/files.h"
#include "support/log.h"
#include "support/platform.h"
#include "support/settings.h"
#include "support/text.h"
#include "tools/interface_reader.h"
#include "tools/statement_check.h"

namespace sstrxv {
namespace {

// The report being written: one line per check, and whether all passed.
class Report {
 public:
  explicit Report(std::string& text) : text_(text) {}

  void pass(std::string_view what, std::string_view detail) { add(true, what, detail); }
  void fail(std::string_view what, std::string_view reason) { add(false, what, reason); }
  void add(bool passed, std::string_view what, std::string_view detail) {
    text_ += passed ? "OK    " : "FAIL  ";
    text_ += what;
    text_ += ": ";
    text_ += detail;
    text_ += '\n';
    ++checks_;
    if (!passed) ++failed_;
  }
  [[nodiscard]] int finish() {
    appendFormat(text_, "%zu checks, %zu failed\n", checks_, failed_);
    return failed_ == 0 ? kSiteCheckPassed : kSiteCheckFailed;
  }

 private:
  std::string& text_;
  std::size_t checks_ = 0;
  std::size_t failed_ = 0;
};

// A value of the site for the report: control bytes as \xNN.
std::string shown(std::string_view value) {
  std::string text;
  appendShown(text, value, Encoding::kAsStored);
  return text;
}

bool isRegularFile(const std::string& nativePath) {
  std::error_code error;
  return std::filesystem::is_regular_file(nativePath, error);
}

bool exists(const std::string& nativePath) {
  std::error_code error;
  return std::filesystem::exists(nativePath, error);
}

// A path of the program as the check shows it: with "/" as separator.
std::string slashed(std::string_view path) { return shown(platform::nativePath(path)); }

// Where the program looks for a file: its absolute path.
std::string lookedFor(std::string_view path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(platform::nativePath(path), error);
  return shown((error ? std::filesystem::path(platform::nativePath(path)) : absolute.lexically_normal()).string());
}

// What is wrong with a file the program reads, or "" when it is a readable regular file.
std::string unreadableReason(std::string_view path) {
  const std::string native = platform::nativePath(path);
  if (!exists(native)) return "missing (looked for " + lookedFor(path) + ")";
  if (!isRegularFile(native)) return "not a regular file";
  if (access(native.c_str(), R_OK) != 0) return std::strerror(errno);
  return {};
}

// Whether the program can create a file in the directory: it is reached as
// the program reaches it (a link that could lead elsewhere is unsafe), and a
// scratch file is created and removed again. Permission bits alone do not
// tell (root).
std::string unwritableReason(std::string_view directory) {
  return platform::creationFailure(platform::nativePath(directory));
}

void checkWritable(Report& report, std::string_view what, std::string_view directory) {
  const std::string label = std::string(what) + " " + shown(platform::nativePath(directory));
  if (const std::string reason = unwritableReason(directory); reason.empty()) {
    report.pass(label, "writable");
  } else {
    report.fail(label, "not writable: " + reason);
  }
}

// What a connection error number usually means; "" when it needs no hint.
std::string_view connectHint(RC rc, std::string_view host) noexcept {
  const bool local = host.empty() || host == "localhost";
  switch (rc) {
    case 1044:
      return "the user may not use the database MVSYSTEM";
    case 1045:
      return "access denied: user or password wrong";
    case 1049:
      return "no database MVSYSTEM on the server";
    case 2002:
      return local ? "no local server at the default socket" : "no server answers at the host";
    case 2003:
      return "no server answers at the host";
    case 2005:
      return "unknown host";
    default:
      return {};
  }
}

// A failed connect: the error number, the client library's own text and a hint.
std::string connectFailure(RC rc, std::string_view libraryText, std::string_view host) {
  std::string text = formatText("error %ld: ", rc) + shown(libraryText);
  if (const std::string_view hint = connectHint(rc, host); !hint.empty()) text += " (" + std::string(hint) + ")";
  return text;
}

struct Credentials {
  std::string host;
  std::string user;
  std::string password;
  bool usable = false;  // a user was found
};

Credentials checkSettings(Report& report) {
  Credentials credentials;
  const std::string label = "settings file " + slashed(kSettingsFilePath);
  if (const std::string reason = unreadableReason(kSettingsFilePath); !reason.empty()) {
    report.fail(label, reason);
    return credentials;
  }
  report.pass(label, "readable");

  const SettingResult host = readSetting("", "NET8", 0, kSettingsFilePath);
  const SettingResult user = readSetting("", "LOGIN", 0, kSettingsFilePath);
  const SettingResult password = readSetting("", "PASS", 0, kSettingsFilePath);
  credentials.host = host.settingValue.view();
  credentials.user = user.settingValue.view();
  credentials.password = password.settingValue.view();

  if (host.settingKey.empty()) {
    report.pass("NET8", "not found: the local server");
  } else if (credentials.host.empty()) {
    report.pass("NET8", "found, empty: the local server");
  } else {
    report.pass("NET8", "found, host " + shown(credentials.host));
  }
  if (user.settingKey.empty()) {
    report.fail("LOGIN", "not found: the program does not connect without a user");
  } else if (credentials.user.empty()) {
    report.fail("LOGIN", "found, empty: the program does not connect without a user");
  } else {
    report.pass("LOGIN", "found, user " + shown(credentials.user));
    credentials.usable = true;
  }
  if (password.settingKey.empty()) {
    report.fail("PASS", "not found");
  } else {
    report.pass("PASS", formatText("found, set, %zu characters", credentials.password.size()));
  }
  return credentials;
}

// The product release the writers are run for.
double checkProductRelease(Report& report, DbSession& session) {
  double version = 0.0;
  const RC rc = readProductVersion(session, kProductPattern, version);
  if (rc != RC_OK && rc != RC_NO_MORE_ROWS) {
    report.fail("product release", formatText("the product table cannot be read, error %ld", rc));
    return version;
  }
  const char* badges = version >= 5.9   ? "badge file with cost centre and calendar"
                       : version >= 5.4 ? "badge file with cost centre"
                                        : "badge file without cost centre";
  if (version == 0.0) {
    report.pass("product release",
                formatText("none recorded for %s, 0.0 (%s)", std::string(kProductPattern).c_str(), badges));
  } else {
    report.pass("product release", formatText("%.2f (%s)", version, badges));
  }
  return version;
}

// The tenants the tenant loop would walk; their locations, for the premium
// check (nothing when the tenant table cannot be read).
std::optional<std::vector<std::string>> checkTenants(Report& report, DbSession& session) {
  std::vector<std::string> locations;
  Cursor tenantCursor;
  if (const RC opened = SQLOpenMvs112Mnd(session, tenantCursor); opened != RC_OK) {
    report.fail("tenants", formatText("the tenant table cannot be read, error %ld", opened));
    return std::nullopt;
  }
  bool walkStopped = false;
  for (;;) {
    Tenant tenant;
    const RC fetched = SQLFetchMvs112Mnd(tenantCursor, tenant);
    if (fetched == RC_NO_MORE_ROWS) break;
    if (fetched != RC_OK) {
      report.fail("tenants", formatText("reading the tenant table failed, error %ld", fetched));
      break;
    }
    locations.emplace_back(tenant.location.view());
    const std::string label =
        describeTenant(tenant.schemaName.view(), tenant.licenceNumber.view(), tenant.tenantNumber.view());
    if (!isPlainIdentifier(tenant.schemaName.view())) {
      report.fail(label, walkStopped ? "not a plain identifier" : "not a plain identifier: the tenant walk stops here");
      walkStopped = true;
    } else if (walkStopped) {
      report.fail(label, "not reached: the tenant walk stops at an earlier tenant");
    } else {
      report.pass(label, "plain identifier");
    }
  }
  SQLCloseMvs112Mnd(tenantCursor);
  if (locations.empty()) report.pass("tenants", "none: the files per tenant stay empty");
  return locations;
}

// Every file type's statements as the server judges them in a run.
void checkFileTypes(Report& report, DbSession& session, double productVersion) {
  for (const StatementCheck& check : checkStatements(session, productVersion)) {
    const std::string label = "file type " + std::string(check.code);
    if (check.passed) {
      report.pass(label, check.tenants == 0 ? std::string("statements accepted")
                                            : formatText("statements accepted for %zu tenant%s", check.tenants,
                                                         check.tenants == 1 ? "" : "s"));
    } else {
      report.fail(check.failedTenant.empty() ? label : label + ", " + check.failedTenant, check.reason);
    }
  }
}

void checkSaldoSettings(Report& report) {
  const std::string label(kSaldoSettingsPath);
  const SaldoSettingsResult read = readSaldoSettings();
  if (read.status != SaldoSettingsStatus::kRead) {
    if (exists(platform::nativePath(kSaldoSettingsPath))) {
      report.fail(label, "cannot be read: " + unreadableReason(kSaldoSettingsPath));
    } else {
      report.pass(label, unreadableReason(kSaldoSettingsPath) + ": the balance file shows no display slots");
    }
    return;
  }
  std::string slots;
  std::string wrong;
  for (const SaldoSlot& slot : read.settings.slots) {
    std::string& list = slot.fieldNumber() >= 1 && slot.fieldNumber() <= 10 ? slots : wrong;
    if (!list.empty()) list += ", ";
    list += shown(slot.name);
  }
  if (!wrong.empty()) {
    report.fail(label, "slots outside F01 to F10, never shown: " + wrong);
  } else if (slots.empty()) {
    report.pass(label, "no display slot defined");
  } else {
    report.pass(label, formatText("%zu display slots: ", read.settings.slots.size()) + slots);
  }
}

// The personnel numbers of the premium file: its distinct keys, without
// blank lines and without a heading line (a first line whose first column
// holds no digit).
std::size_t personnelNumbers(const PremiumTable& table) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < table.keyCount(); ++i) {
    const std::string_view key = table.keyAt(i);
    const bool heading = i == 0 && key.find_first_of("0123456789") == std::string_view::npos;
    if (!key.empty() && !heading) ++count;
  }
  return count;
}

// locations: those of the tenants, nothing when they could not be read.
void checkPremiumFile(Report& report, const std::optional<std::vector<std::string>>& locations) {
  const std::string label = "premium file " + slashed(kPremiumFilePath);
  bool needed = false;
  for (const std::string& location : locations.value_or(std::vector<std::string>{})) {
    needed = needed || location == kPremiumLocation;
  }
  const PremiumResult read = readPraemien();
  if (read.status == PremiumStatus::kRead) {
    const std::size_t persons = personnelNumbers(read.table);
    report.pass(label, formatText("%zu lines, %zu personnel number%s", read.table.entryCount(), persons,
                                  persons == 1 ? "" : "s"));
  } else if (read.status != PremiumStatus::kOpenFailed) {
    report.fail(label, premiumStatusMessage(read.status));
  } else if (exists(platform::nativePath(kPremiumFilePath))) {
    report.fail(label, "cannot be read: " + unreadableReason(kPremiumFilePath));
  } else if (!locations) {
    report.fail(label,
                unreadableReason(kPremiumFilePath) + ": whether a tenant needs it is not checked: no connection");
  } else if (needed) {
    report.fail(label, unreadableReason(kPremiumFilePath) + ": the tenants at location " +
                           std::string(kPremiumLocation) + " get no premium texts");
  } else {
    report.pass(label, unreadableReason(kPremiumFilePath) + ", not needed: no tenant at location " +
                           std::string(kPremiumLocation));
  }
}

int runChecks(std::string_view outputDirectory, std::string& text) {
  Report report(text);
  const Credentials credentials = checkSettings(report);

  std::optional<std::vector<std::string>> locations;
  bool connected = false;
  Env env;  // the real one; opening a session neither logs nor pauses
  DbSession session(env);
  if (!credentials.usable) {
    report.fail("connection", "not tried: no user");
  } else if (const RC rc =
                 dbOpenSession(session, credentials.user, credentials.password, credentials.host, kDatabaseName);
             rc != RC_OK) {
    report.fail("connection", connectFailure(rc, session.connectError, credentials.host));
  } else {
    connected = true;
    report.pass("connection",
                "connected to " + std::string(kDatabaseName) + " on " +
                    (credentials.host.empty() ? std::string("the local server") : shown(credentials.host)));
    const double productVersion = checkProductRelease(report, session);
    locations = checkTenants(report, session);
    checkFileTypes(report, session, productVersion);
    dbDisconnect(session);
  }
  if (!connected) {
    for (const char* what : {"product release", "tenants", "file types"})
      report.fail(what, "not checked: no connection");
  }

  const LogSettings log;
  const std::string logPath = platform::nativePath(log.logPath);
  checkWritable(report, "log directory", std::filesystem::path(logPath).parent_path().string());
  checkWritable(report, "output directory", outputDirectory);
  checkSaldoSettings(report);
  checkPremiumFile(report, locations);
  return report.finish();
}

}  // namespace

int checkSite(std::string_view outputDirectory, std::string& report) noexcept {
  return runChecks(outputDirectory, report);
}

}  // namespace sstrxv
