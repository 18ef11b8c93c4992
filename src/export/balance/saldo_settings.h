// The balance settings file SaldoRXV.ini: the flexible display fields F01
// to F10, each a label and the sum of named balances, and their rendering
// into a balance line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/balance/saldo_record.h"

namespace sstrxv {

// The file is read in lines of at most this many characters, line end
// included; the rest of a longer line is read as a line of its own.
inline constexpr std::size_t kSaldoSettingsLineSize = 99;
inline constexpr std::size_t kMaxSaldoSlots = 9;
inline constexpr std::size_t kMaxSlotKeys = 8;
inline constexpr std::size_t kSlotLabelSize = 12;

// One flexible display slot from a slot line ("F02=UVJ,ULJ") and its label
// line ("T02=Urlaub").
struct SaldoSlot {
  std::string name;               // "F" and two characters, the field number
  std::string label;              // at most 12 characters, empty without a label line
  std::vector<std::string> keys;  // 1 to 8 keys of exactly 3 characters

  // The whole number of the two characters after the F ("F03" gives 3);
  // only 1 to 10 name a field.
  [[nodiscard]] long fieldNumber() const noexcept;
};

struct SaldoSettings {
  std::vector<SaldoSlot> slots;  // at most nine, in the order of their slot lines

  // Flexible values are shown when at least one slot was defined.
  [[nodiscard]] bool configured() const noexcept { return !slots.empty(); }
};

enum class SaldoSettingsStatus {
  kRead,     // the file was read (it may still define no slot)
  kMissing,  // the file is missing or cannot be opened: not configured
};

struct SaldoSettingsResult {
  SaldoSettings settings;
  SaldoSettingsStatus status = SaldoSettingsStatus::kMissing;
};

// The settings in the bytes of a SaldoRXV.ini. Reading stops at the end or
// as soon as nine slots are defined; malformed lines are ignored.
[[nodiscard]] SaldoSettings parseSaldoSettings(std::string_view bytes) noexcept;

// Reads the settings file at `path` (a run's: Env::inputs; backslashes as
// separators). A missing or unreadable file gives no slots.
[[nodiscard]] SaldoSettingsResult readSaldoSettings(std::string_view path) noexcept;

// "Flexible Saldenwerte: YES" or "... NO", the writer's message on the settings.
[[nodiscard]] std::string flexibleValuesMessage(bool configured);

// For each slot in table order: adds the values of its keys into the slot
// sum of its field number and writes the field as the label padded to 12
// characters and the sum's value text right-aligned in 8. A slot whose
// first key is SA1 to SA7 is a time slot: its sum (minutes) is shown as
// hours and minutes. Slots numbered outside 1 to 10 render nothing.
void fillFlexFields(const SaldoSettings& settings, SaldoValues& values, SaldoRecord& record);

}  // namespace sstrxv
