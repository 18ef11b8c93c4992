#include "export/file_types.h"

#include <array>
#include <cstddef>
#include <iterator>

#include "export/balance/balance.h"
#include "export/balance/saldo_record.h"
#include "export/master/master.h"
#include "export/status/status.h"
#include "export/terminal/terminal.h"

namespace sstrxv {
namespace {

using enum FileFamily;

// The fields that identify a record of each type, for comparing two files.
constexpr std::string_view k20pKeys[] = {"terminal name", "reader", "weekday", "time zone"};
constexpr std::string_view k35pKeys[] = {"terminal name", "reader", "authorization class", "time zone"};
constexpr std::string_view k41pKeys[] = {"terminal name", "time plan", "week number", "time zone", "weekday"};
constexpr std::string_view kMndKeys[] = {"licence number", "tenant number"};
constexpr std::string_view kIdnKeys[] = {"badge number"};
constexpr std::string_view kSldKeys[] = {"badge number"};
constexpr std::string_view kKstKeys[] = {"licence number", "tenant number", "cost-centre number"};
constexpr std::string_view kBklKeys[] = {"badge number", "authorization class"};
constexpr std::string_view kFtgKeys[] = {"terminal name", "licence number", "tenant number", "date", "calendar number"};
constexpr std::string_view kMstKeys[] = {"licence number", "tenant number", "badge number", "start date"};
constexpr std::string_view kMdtKeys[] = {"licence number", "tenant number", "badge number", "date"};
constexpr std::string_view kFcdKeys[] = {"licence number", "tenant number", "function-code number"};

constexpr FileTypeEntry kFileTypes[] = {
    {"20P", kTerminal, write20pFile, &k20pLayout, k20pKeys, "20p  f. Datei MGSST20P"},
    {"35P", kTerminal, write35pFile, &k35pLayout, k35pKeys, "35p  f. Datei MGSST35P"},
    {"41P", kTerminal, write41pFile, &k41pLayout, k41pKeys, "41p  f. Datei MGSST41P"},
    {"MND", kMaster, writeMndFile, &kMndLayout, kMndKeys, "Mnd  f. Datei MNDSTAMM"},
    {"IDN", kMaster, writeIdnFile, &kIdnLayout, kIdnKeys, "IDN  f. Datei IDStamm"},
    {"SLD", kBalance, writeSaldoFile, &kSaldoLayout, kSldKeys, "SLD  f. Datei SALDO"},
    {"KST", kMaster, writeKstFile, &kKstLayout, kKstKeys, "KST  f. Datei Kostenst"},
    {"BKL", kMaster, writeBklFile, &kBklLayout, kBklKeys, "BKL  f. Berechtigungsklassen"},
    {"FTG", kMaster, writeFtgFile, &kFtgLayout, kFtgKeys, "FTG  f. Feiertage"},
    {"MST", kStatus, writeMstFile, &kMstLayout, kMstKeys, "MST  f. Mitarbeiterstatus"},
    {"MDT", kStatus, writeMdtFile, &kMdtLayout, kMdtKeys, "MDT  f. Mitarbeiterdetail"},
    {"FCD", kStatus, writeFcdFile, &kFcdLayout, kFcdKeys, "FCD  f. Funktionscodes"},
};

// The families in the order of the format reference.
constexpr FileFamily kReferenceOrder[] = {kMaster, kTerminal, kBalance, kStatus};

constexpr std::size_t typesInReferenceOrder() {
  std::size_t count = 0;
  for (const FileFamily family : kReferenceOrder) {
    for (const FileTypeEntry& entry : kFileTypes) count += entry.family == family ? 1 : 0;
  }
  return count;
}
static_assert(typesInReferenceOrder() == std::size(kFileTypes), "a family is missing from the reference order");

// The layouts family by family, each family in table order.
constexpr std::array<const FileLayout*, std::size(kFileTypes)> kReferenceLayouts = [] {
  std::array<const FileLayout*, std::size(kFileTypes)> layouts{};
  std::size_t next = 0;
  for (const FileFamily family : kReferenceOrder) {
    for (const FileTypeEntry& entry : kFileTypes) {
      if (entry.family == family) layouts[next++] = entry.layout;
    }
  }
  return layouts;
}();

}  // namespace

std::span<const FileTypeEntry> fileTypes() noexcept { return kFileTypes; }

const FileTypeEntry* findFileType(std::string_view fileType) noexcept {
  const std::string_view code = fileType.substr(0, 3);
  for (const FileTypeEntry& entry : kFileTypes) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

std::span<const FileLayout* const> fileLayouts() noexcept { return kReferenceLayouts; }

}  // namespace sstrxv
