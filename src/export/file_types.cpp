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

constexpr FileTypeEntry kFileTypes[] = {
    {"20P", kTerminal, write20pFile, &k20pLayout, "20p  f. Datei MGSST20P"},
    {"35P", kTerminal, write35pFile, &k35pLayout, "35p  f. Datei MGSST35P"},
    {"41P", kTerminal, write41pFile, &k41pLayout, "41p  f. Datei MGSST41P"},
    {"MND", kMaster, writeMndFile, &kMndLayout, "Mnd  f. Datei MNDSTAMM"},
    {"IDN", kMaster, writeIdnFile, &kIdnLayout, "IDN  f. Datei IDStamm"},
    {"SLD", kBalance, writeSaldoFile, &kSaldoLayout, "SLD  f. Datei SALDO"},
    {"KST", kMaster, writeKstFile, &kKstLayout, "KST  f. Datei Kostenst"},
    {"BKL", kMaster, writeBklFile, &kBklLayout, "BKL  f. Berechtigungsklassen"},
    {"FTG", kMaster, writeFtgFile, &kFtgLayout, "FTG  f. Feiertage"},
    {"MST", kStatus, writeMstFile, &kMstLayout, "MST  f. Mitarbeiterstatus"},
    {"MDT", kStatus, writeMdtFile, &kMdtLayout, "MDT  f. Mitarbeiterdetail"},
    {"FCD", kStatus, writeFcdFile, &kFcdLayout, "FCD  f. Funktionscodes"},
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
