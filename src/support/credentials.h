// The database credentials of the settings file's connection records.
#pragma once

#include <string_view>

namespace sstrxv {

// The host (empty: the local server), the user and the password, as plain
// values.
struct Credentials {
  std::string_view host;
  std::string_view user;
  std::string_view password;
};

}  // namespace sstrxv
