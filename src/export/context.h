// What a writer reads while it runs: the session, the environment it logs
// in, the output path, the schema being exported, the product release and
// the tenant being walked.
// The driver creates one context per run and passes it to the writer.
#pragma once

#include <string>
#include <string_view>

#include "db/runtime.h"
#include "db/session.h"
#include "export/tenants.h"
#include "support/text.h"

namespace sstrxv {

inline constexpr std::string_view kDefaultSchema = "MELVARION";

struct ExportContext {
  explicit ExportContext(DbSession& openSession) noexcept : session(openSession), env(openSession.env) {}

  DbSession& session;
  Env& env;                       // the session's: where the writer logs
  std::string interfaceFilePath;  // the command line's file name, as passed
  BoundedText currentSchema{20};  // the schema whose data is being exported
  double productVersion = 0.0;    // highest release in the product table
  // The tenant being walked: set by the tenant loop while it runs (and by
  // selective creation for its writers), nullptr otherwise.
  const Tenant* tenant = nullptr;
  // Every lookup sends its own statement per row instead of the set
  // statements (the tests compare both ways).
  bool perRowLookups = false;
  // Set by the set-up check, which runs a writer to have the server judge
  // its statements: the lines go nowhere, and every statement but the
  // tenant cursor delivers at most one row.
  bool statementCheck = false;

  // A key value escaped for a place between single quotes.
  [[nodiscard]] std::string quoted(std::string_view value) const { return sqlValue(session, value); }
  [[nodiscard]] const char* schema() const noexcept { return currentSchema.c_str(); }
};

}  // namespace sstrxv
