#include "export/file_types.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <string>

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

// A row of the table: the code comes from the layout.
constexpr FileTypeEntry type(const FileLayout& layout, FileFamily family, Writer writer,
                             std::span<const std::string_view> keyFields, CodeCase usageCase,
                             std::string_view usageText) {
  return {layout.code, family, writer, &layout, keyFields, usageCase, usageText};
}

using enum CodeCase;

constexpr FileTypeEntry kFileTypes[] = {
    type(k20pLayout, kTerminal, write20pFile, k20pKeys, kLower, "f. Datei MGSST20P"),
    type(k35pLayout, kTerminal, write35pFile, k35pKeys, kLower, "f. Datei MGSST35P"),
    type(k41pLayout, kTerminal, write41pFile, k41pKeys, kLower, "f. Datei MGSST41P"),
    type(kMndLayout, kMaster, writeMndFile, kMndKeys, kCapitalised, "f. Datei MNDSTAMM"),
    type(kIdnLayout, kMaster, writeIdnFile, kIdnKeys, kUpper, "f. Datei IDStamm"),
    type(kSaldoLayout, kBalance, writeSaldoFile, kSldKeys, kUpper, "f. Datei SALDO"),
    type(kKstLayout, kMaster, writeKstFile, kKstKeys, kUpper, "f. Datei Kostenst"),
    type(kBklLayout, kMaster, writeBklFile, kBklKeys, kUpper, "f. Berechtigungsklassen"),
    type(kFtgLayout, kMaster, writeFtgFile, kFtgKeys, kUpper, "f. Feiertage"),
    type(kMstLayout, kStatus, writeMstFile, kMstKeys, kUpper, "f. Mitarbeiterstatus"),
    type(kMdtLayout, kStatus, writeMdtFile, kMdtKeys, kUpper, "f. Mitarbeiterdetail"),
    type(kFcdLayout, kStatus, writeFcdFile, kFcdKeys, kUpper, "f. Funktionscodes"),
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

std::string FileTypeEntry::usageLine() const {
  std::string line;
  for (const char c : code) {
    const bool lower = usageCase == kLower || (usageCase == kCapitalised && !line.empty());
    line += lower && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  line += "  ";
  line += usageText;
  return line;
}

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
