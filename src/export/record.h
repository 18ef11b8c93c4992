// Interface-file records described as data: a record is its fields in line
// order, each with the width it takes in the line, the capacity it holds, its
// name and where its value comes from.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "db/runtime.h"
#include "support/platform.h"
#include "support/text.h"

namespace sstrxv {

struct FieldFormat {
  std::size_t width;        // "%-<width>s" in the line
  std::size_t capacity;     // longest value the field holds; longer ones are cut
  std::string_view name;    // what the field is: "badge number", "Zeitzone"
  std::string_view source;  // where its value comes from: a select column or a rule
};

// A field as wide as it holds. Every field is named, with where its value
// comes from: the format reference is printed from these tables.
constexpr FieldFormat field(std::size_t width, std::string_view name, std::string_view source) {
  return {width, width, name, source};
}
// A field that holds more than its width; a longer value moves the rest of the line.
constexpr FieldFormat field(std::size_t width, std::size_t capacity, std::string_view name, std::string_view source) {
  return {width, capacity, name, source};
}

template <std::size_t N>
using LineFormat = std::array<FieldFormat, N>;

// One file type as the importer sees it: its lines are its fields in order,
// then the line end.
struct FileLayout {
  std::string_view code;         // the file type: "IDN"
  std::string_view fileName;     // the name the usage text gives the file: "IDStamm"
  std::string_view description;  // one line: what a line of the file stands for
  std::span<const FieldFormat> fields;
  std::string_view updateFile = {};  // the selective update file written in the same format, if any
  std::string_view lineEnd = platform::kInterfaceLineEnd;
};

// Where each select-list column of a statement goes: column i into field
// fieldOfColumn[i], or nowhere (kNoField).
template <std::size_t M>
using ColumnFields = std::array<int, M>;
inline constexpr int kNoField = -1;

// Appends one interface-file line to `line`: each value left-aligned and
// padded with blanks to its width (the bytes printf's "%-<width>s" gives),
// then "x", carriage return, line feed.
void appendLine(std::string& line, std::span<const FieldFormat> format, std::span<const BoundedText> values);

template <std::size_t N>
class Record {
 public:
  explicit Record(const LineFormat<N>& format) : format_(format), fields_(makeFields(format)) {}

  BoundedText& operator[](std::size_t index) noexcept { return fields_[index]; }
  const BoundedText& operator[](std::size_t index) const noexcept { return fields_[index]; }

  void clear() noexcept {
    for (auto& f : fields_) f.clear();
  }

  // The copy rule: column i of the row goes whole into field fieldOfColumn[i]
  // (cut to the field's capacity); a NULL column leaves its field as it was.
  template <std::size_t M>
  void copyColumns(const Row& row, const ColumnFields<M>& fieldOfColumn) {
    for (std::size_t column = 0; column < M; ++column) {
      const Value value = row[static_cast<unsigned>(column)];
      if (value && fieldOfColumn[column] != kNoField) {
        fields_[static_cast<std::size_t>(fieldOfColumn[column])].assign(value.view());
      }
    }
  }

  // Columns 0..N-1 of the row into fields 0..N-1.
  void copyAllColumns(const Row& row) {
    for (std::size_t i = 0; i < N; ++i) {
      if (const Value value = row[static_cast<unsigned>(i)]) fields_[i].assign(value.view());
    }
  }

  void appendLineTo(std::string& line) const { appendLine(line, format_, fields_); }

 private:
  static std::array<BoundedText, N> makeFields(const LineFormat<N>& format) {
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
      return std::array<BoundedText, N>{BoundedText(format[I].capacity)...};
    }
    (std::make_index_sequence<N>{});
  }

  LineFormat<N> format_;  // a copy: a record never outlives its format
  std::array<BoundedText, N> fields_;
};

}  // namespace sstrxv
