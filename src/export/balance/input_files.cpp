// The balance file's input files for the set-up check: SaldoRXV.ini and the
// premium file.
#include <array>

#include "export/balance/premium.h"
#include "export/balance/saldo_settings.h"
#include "export/input_files.h"
#include "support/text.h"

namespace sstrxv {
namespace {

std::string saldoSettingsLabel(const Env& env, ShowValue show) { return shownPath(env.inputs.saldoSettingsFile, show); }

InputFileVerdict checkSaldoSettings(const Env& env, const TenantLocations&, ShowValue show) {
  const std::string& path = env.inputs.saldoSettingsFile;
  const SaldoSettingsResult read = readSaldoSettings(path);
  if (read.status != SaldoSettingsStatus::kRead) {
    if (existsAt(path)) return {false, "cannot be read: " + unreadableReason(path, show)};
    return {true, unreadableReason(path, show) + ": the balance file shows no display slots"};
  }
  std::string slots;
  std::string wrong;
  for (const SaldoSlot& slot : read.settings.slots) {
    std::string& list = slot.fieldNumber() >= 1 && slot.fieldNumber() <= 10 ? slots : wrong;
    if (!list.empty()) list += ", ";
    list += show(slot.name);
  }
  if (!wrong.empty()) return {false, "slots outside F01 to F10, never shown: " + wrong};
  if (slots.empty()) return {true, "no display slot defined"};
  return {true, formatText("%zu display slots: ", read.settings.slots.size()) + slots};
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

std::string premiumLabel(const Env& env, ShowValue show) {
  return "premium file " + shownPath(env.inputs.premiumFile, show);
}

InputFileVerdict checkPremiumFile(const Env& env, const TenantLocations& locations, ShowValue show) {
  const std::string& path = env.inputs.premiumFile;
  bool needed = false;
  for (const std::string& location : locations.value_or(std::vector<std::string>{})) {
    needed = needed || location == kPremiumLocation;
  }
  const PremiumResult read = readPraemien(path);
  if (read.status == PremiumStatus::kRead) {
    const std::size_t persons = personnelNumbers(read.table);
    return {true,
            formatText("%zu lines, %zu personnel number%s", read.table.entryCount(), persons, persons == 1 ? "" : "s")};
  }
  if (read.status != PremiumStatus::kOpenFailed) return {false, std::string(premiumStatusMessage(read.status))};
  if (existsAt(path)) return {false, "cannot be read: " + unreadableReason(path, show)};
  if (!locations) {
    return {false, unreadableReason(path, show) + ": whether a tenant needs it is not checked: no connection"};
  }
  if (needed) {
    return {false, unreadableReason(path, show) + ": the tenants at location " + std::string(kPremiumLocation) +
                       " get no premium texts"};
  }
  return {true, unreadableReason(path, show) + ", not needed: no tenant at location " + std::string(kPremiumLocation)};
}

constexpr std::array<WriterInputFile, 2> kInputFiles = {{
    {saldoSettingsLabel, checkSaldoSettings},
    {premiumLabel, checkPremiumFile},
}};

}  // namespace

std::span<const WriterInputFile> writerInputFiles() noexcept { return kInputFiles; }

}  // namespace sstrxv
