#include "tools/statement_check.h"

#include <mysql.h>

#include <optional>
#include <utility>

#include "export/context.h"
#include "export/file_types.h"
#include "support/env.h"
#include "support/text.h"
#include "tools/interface_reader.h"

namespace sstrxv {
namespace {

// A value of the site for the check's lines: control bytes as \xNN.
std::string shown(std::string_view value) {
  std::string text;
  appendShown(text, value, Encoding::kAsStored);
  return text;
}

// The environment of a checked writer: nothing is logged and nothing waited
// for. Each message is noted with the tenant being walked and the
// connection's last error at that moment, since a writer logs its failure
// right after the statement that failed.
class CheckEnv : public Env {
 public:
  struct Note {
    std::string message;
    std::optional<std::string> tenant;  // set: logged inside the tenant walk
    unsigned error = 0;                 // the connection's error number then
    std::string errorText;
  };

  // What the messages are noted against: the checked writer's session and context.
  void watch(const DbSession& session, const ExportContext& context) noexcept {
    session_ = &session;
    context_ = &context;
  }

  void pauseMilliseconds(unsigned long) noexcept override {}
  void writeLog(std::string_view message) noexcept override {
    Note note{std::string(message), std::nullopt, 0, {}};
    if (const Tenant* tenant = context_ != nullptr ? context_->tenant : nullptr) {
      note.tenant =
          describeTenant(tenant->schemaName.view(), tenant->licenceNumber.view(), tenant->tenantNumber.view());
      if (note.tenant != lastTenant_) ++tenants_;
      lastTenant_ = note.tenant;
    }
    if (MYSQL* connection = session_ != nullptr ? session_->connection.get() : nullptr) {
      note.error = mysql_errno(connection);
      note.errorText = mysql_error(connection);
    }
    notes_.push_back(std::move(note));
  }

  // Ready for the next writer.
  void clear() {
    notes_.clear();
    lastTenant_.reset();
    tenants_ = 0;
  }
  [[nodiscard]] const std::vector<Note>& notes() const noexcept { return notes_; }
  [[nodiscard]] std::size_t tenants() const noexcept { return tenants_; }

 private:
  const DbSession* session_ = nullptr;
  const ExportContext* context_ = nullptr;
  std::vector<Note> notes_;
  std::optional<std::string> lastTenant_;
  std::size_t tenants_ = 0;
};

// Why a writer failed: its failure is the last message it logged inside the
// tenant walk (after that only the closing message follows), or for a
// writer outside the walk its last message; the server's message of that
// moment tells why, else the writer's own.
void explainFailure(const CheckEnv& env, const DbSession& session, StatementCheck& check) {
  const CheckEnv::Note* failure = nullptr;
  for (const CheckEnv::Note& note : env.notes()) {
    if (note.tenant || failure == nullptr || !failure->tenant) failure = &note;
  }
  unsigned error = 0;
  std::string text;
  if (failure != nullptr) {
    if (failure->tenant) check.failedTenant = *failure->tenant;
    error = failure->error;
    text = failure->errorText;
  } else if (MYSQL* connection = session.connection.get()) {
    error = mysql_errno(connection);
    text = mysql_error(connection);
  }
  if (error != 0) {
    check.reason = formatText("error %u: ", error) + shown(text);
  } else if (failure != nullptr) {
    check.reason = "the run logs " + shown(failure->message);
  } else {
    check.reason = "failed without a message";
  }
}

}  // namespace

std::string describeTenant(std::string_view schema, std::string_view licence, std::string_view tenant) {
  return "tenant schema " + shown(schema) + ", licence " + shown(licence) + ", tenant " + shown(tenant);
}

std::vector<StatementCheck> checkStatements(DbSession& session, double productVersion) {
  std::vector<StatementCheck> checks;
  // The writers log into the check's environment, over the same connection.
  CheckEnv env;
  env.inputs = session.env.inputs;  // the writers read the run's input files
  DbSession checked(env);
  checked.options = session.options;
  checked.connection = std::move(session.connection);
  ExportContext context(checked);
  context.statementCheck = true;
  context.productVersion = productVersion;
  env.watch(checked, context);
  for (const FileTypeEntry& type : fileTypes()) {
    env.clear();
    context.currentSchema.assign(kDefaultSchema);
    StatementCheck check;
    check.code = type.code;
    const WriterResult result = type.writer(context);
    check.passed = result == WriterResult::kOk;
    check.tenants = env.tenants();
    if (result == WriterResult::kStatementTooLong) {
      check.reason = formatText("a statement reaches %zu characters: the run ends with exit code 1", kStatementLimit);
    } else if (!check.passed) {
      explainFailure(env, checked, check);
    }
    checks.push_back(std::move(check));
  }
  session.connection = std::move(checked.connection);
  return checks;
}

}  // namespace sstrxv
