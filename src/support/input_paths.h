// The input files of a run besides the database, and where a run finds them
// unless it is told otherwise: relative to its working directory,
// backslashes as directory separators. The run's environment carries them
// (Env::inputs); everything that opens one takes its path from there.
#pragma once

#include <string>
#include <string_view>

namespace sstrxv {

// The product's settings file with the enciphered database credentials.
inline constexpr std::string_view kSettingsFilePath = "..\\..\\Files\\Melvarion.Ini";
// The balance file's display slots.
inline constexpr std::string_view kSaldoSettingsPath = "SaldoRXV.ini";
// The balance file's premium data.
inline constexpr std::string_view kPremiumFilePath = "..\\..\\transfer\\QORV\\PraemienQORV.txt";

struct InputPaths {
  std::string settingsFile{kSettingsFilePath};
  std::string saldoSettingsFile{kSaldoSettingsPath};
  std::string premiumFile{kPremiumFilePath};
};

}  // namespace sstrxv
