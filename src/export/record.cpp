#include "export/record.h"

#include "support/platform.h"

namespace sstrxv {

void appendLine(std::string& line, std::span<const FieldFormat> format,
                std::span<const BoundedText> values) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    const std::string_view value = values[i].view();
    line.append(value);
    if (value.size() < format[i].width) line.append(format[i].width - value.size(), ' ');
  }
  line.append(platform::kInterfaceLineEnd);
}

}  // namespace sstrxv
