// Reading of the balance text files (SaldoRXV.ini, the premium data file)
// in the pieces their line reader sees: the files come from Windows, are
// read in text mode, and a line longer than the reader's line size is
// handed over in pieces of that size.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>
#include <string_view>

namespace sstrxv {

// Hands out the pieces of a text one by one. A piece is a line up to and
// including its line feed, or, of a longer line, the next `pieceSize`
// characters; the rest of that line follows as pieces of its own. Carriage
// return and line feed count as the one character "\n", as text mode reads
// them; a carriage return that no line feed follows is an ordinary
// character. Every other byte, NUL included, is taken as it is.
class TextPieces {
 public:
  TextPieces(std::streambuf& source, std::size_t pieceSize) noexcept : source_(source), pieceSize_(pieceSize) {}

  // The next piece into `piece`; false at the end of the text.
  [[nodiscard]] bool next(std::string& piece);

 private:
  std::streambuf& source_;
  std::size_t pieceSize_;
};

// The bytes of a string as a stream source, without a copy.
class ByteSource : public std::streambuf {
 public:
  explicit ByteSource(std::string_view bytes) noexcept {
    char* begin = const_cast<char*>(bytes.data());  // only read, never written
    setg(begin, begin, begin + bytes.size());
  }
};

}  // namespace sstrxv
