#include "export/balance/saldo_settings.h"

#include <new>

#include "export/balance/number_text.h"
#include "export/balance/text_pieces.h"
#include "support/files.h"
#include "support/platform.h"
#include "support/text.h"

namespace sstrxv {
namespace {

constexpr std::size_t kKeySize = 3;

// "F" line: the name, then keys separated by "," or "="; blanks and tabs
// do not count, only the first three characters of a key are kept, and
// shorter keys are dropped.
void addSlot(std::string_view line, SaldoSettings& settings) {
  SaldoSlot slot;
  slot.name = line.substr(0, 3);
  std::string key;
  const auto endKey = [&] {
    if (key.size() == kKeySize && slot.keys.size() < kMaxSlotKeys) slot.keys.push_back(key);
    key.clear();
  };
  for (const char c : line.substr(slot.name.size())) {
    if (c == ',' || c == '=') {
      endKey();
    } else if (c != ' ' && c != '\t' && key.size() < kKeySize) {
      key += c;
    }
  }
  endKey();
  if (!slot.keys.empty()) settings.slots.push_back(std::move(slot));
}

// "T" line: from the fifth character on the label of the first slot whose
// name has the same second and third characters; the fourth character is a
// separator, whatever it is.
void labelSlot(std::string_view line, SaldoSettings& settings) {
  if (line.size() < 5) return;
  const std::string_view number = line.substr(1, 2);
  for (SaldoSlot& slot : settings.slots) {
    if (std::string_view(slot.name).substr(1, 2) == number) {
      slot.label = line.substr(4, kSlotLabelSize);
      return;
    }
  }
}

SaldoSettings parse(std::streambuf& source) {
  SaldoSettings settings;
  TextPieces pieces(source, kSaldoSettingsLineSize);
  std::string piece;
  while (settings.slots.size() < kMaxSaldoSlots && pieces.next(piece)) {
    std::string_view line = piece;
    if (line.back() == '\n') line.remove_suffix(1);
    if (line.empty()) continue;
    if (line[0] == 'F') {
      addSlot(line, settings);
    } else if (line[0] == 'T') {
      labelSlot(line, settings);
    }
  }
  return settings;
}

// The label left-aligned in 12 characters and the value right-aligned in 8:
// what "%-12s%8s" gives, for labels holding any byte.
std::string flexibleFieldText(std::string_view label, std::string_view value) {
  std::string text(label);
  if (text.size() < kSlotLabelSize) text.append(kSlotLabelSize - text.size(), ' ');
  if (value.size() < 8) text.append(8 - value.size(), ' ');
  text.append(value);
  return text;
}

}  // namespace

long SaldoSlot::fieldNumber() const noexcept {
  return name.size() < 2 ? 0 : leadingInteger(std::string_view(name).substr(1, 2));
}

SaldoSettings parseSaldoSettings(std::string_view bytes) noexcept {
  ByteSource source(bytes);
  return parse(source);
}

SaldoSettingsResult readSaldoSettings(std::string_view path) noexcept {
  SaldoSettingsResult result;
  const auto bytes = platform::readRegularFile(platform::nativePath(path));
  if (!bytes) return result;  // unreadable: not configured
  ByteSource source(*bytes);
  result.settings = parse(source);
  result.status = SaldoSettingsStatus::kRead;
  return result;
}

std::string flexibleValuesMessage(bool configured) {
  return formatText("Flexible Saldenwerte: %s", configured ? "YES" : "NO");
}

void fillFlexFields(const SaldoSettings& settings, SaldoValues& values, SaldoRecord& record) {
  for (const SaldoSlot& slot : settings.slots) {
    const long n = slot.fieldNumber();
    if (n < 1 || n > 10) continue;
    double& sum = values.slotSum[static_cast<std::size_t>(n - 1)];
    for (const std::string& key : slot.keys) sum += saldoKeyValue(key, values);

    const bool timeSlot = !slot.keys.empty() && isTimeBalanceKey(slot.keys.front());
    std::string value = fixed2(timeSlot ? sum / 60 : sum);
    if (timeSlot) value = hoursToMinutes(value);
    record[saldo_field::flexible(static_cast<int>(n))].assign(flexibleFieldText(slot.label, formatSlotValue(value)));
  }
}

}  // namespace sstrxv
