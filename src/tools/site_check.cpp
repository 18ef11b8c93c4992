#include "tools/site_check.h"

#include <filesystem>
#include <vector>

#include "db/runtime.h"
#include "db/session.h"
#include "export/input_files.h"
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

struct SettingsCredentials {
  std::string host;
  std::string user;
  std::string password;
  bool usable = false;  // a user was found
};

SettingsCredentials checkSettings(Report& report, const std::string& path) {
  SettingsCredentials credentials;
  const std::string label = "settings file " + shownPath(path, shown);
  if (const std::string reason = unreadableReason(path, shown); !reason.empty()) {
    report.fail(label, reason);
    return credentials;
  }
  report.pass(label, "readable");

  const SettingResult host = readSetting("", "NET8", 0, path);
  const SettingResult user = readSetting("", "LOGIN", 0, path);
  const SettingResult password = readSetting("", "PASS", 0, path);
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
TenantLocations checkTenants(Report& report, DbSession& session) {
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

int runChecks(Env& env, std::string_view outputDirectory, std::string& text) {
  Report report(text);
  const SettingsCredentials credentials = checkSettings(report, env.inputs.settingsFile);

  TenantLocations locations;
  bool connected = false;
  DbSession session(env);  // opening a session neither logs nor pauses
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

  const std::string logPath = platform::nativePath(env.log.logPath);
  checkWritable(report, "log directory", std::filesystem::path(logPath).parent_path().string());
  checkWritable(report, "output directory", outputDirectory);
  for (const WriterInputFile& file : writerInputFiles()) {
    const InputFileVerdict verdict = file.check(env, locations, shown);
    report.add(verdict.passed, file.label(env, shown), verdict.detail);
  }
  return report.finish();
}

}  // namespace

int checkSite(Env& env, std::string_view outputDirectory, std::string& report) noexcept {
  return runChecks(env, outputDirectory, report);
}

}  // namespace sstrxv
