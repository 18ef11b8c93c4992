// How the server judges what each file type's runs need: the check runs
// every whole-file writer itself over an open session, with its lines going
// nowhere and every statement delivering at most one row, so the server
// sees the very statements of a run (tables, columns, functions and the
// privileges on them) and nothing is written. A statement that a writer
// sends only for a row (a lookup per badge) is judged where such a row is
// there.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"

namespace sstrxv {

struct StatementCheck {
  std::string_view code;     // the file type
  bool passed = false;       // the writer ended as a run would end successfully
  std::size_t tenants = 0;   // the tenants its walk visited
  std::string failedTenant;  // "tenant schema T2, licence 00001, tenant 00011"; empty outside the walk
  std::string reason;        // why it failed: the server's or client library's message, else the writer's
};

// Runs every file type's writer on the session's connection (which it
// hands back when done) for the given product release, one after the other.
[[nodiscard]] std::vector<StatementCheck> checkStatements(DbSession& session, double productVersion);

// How a tenant is named in the check's lines.
[[nodiscard]] std::string describeTenant(std::string_view schema, std::string_view licence, std::string_view tenant);

}  // namespace sstrxv
