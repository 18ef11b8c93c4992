#include "driver/connect.h"

#include "support/log.h"
#include "support/settings.h"

namespace sstrxv {

RC connectWithSettings(DbSession& session) noexcept {
  const std::string& path = session.env.inputs.settingsFile;
  const SettingResult host = readSetting("", "NET8", 0, path);
  const SettingResult user = readSetting("", "LOGIN", 0, path);
  const SettingResult password = readSetting("", "PASS", 0, path);
  if (user.settingValue.empty()) logMessage(session.env, "Kein Datenbankbenutzer (LOGIN) in %s", path.c_str());
  return dbConnect(session, {host.settingValue.view(), user.settingValue.view(), password.settingValue.view()});
}

}  // namespace sstrxv
