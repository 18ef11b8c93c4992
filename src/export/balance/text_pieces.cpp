#include "export/balance/text_pieces.h"

namespace sstrxv {

bool TextPieces::next(std::string& piece) {
  using Traits = std::streambuf::traits_type;
  piece.clear();
  while (piece.size() < pieceSize_) {
    Traits::int_type c = source_.sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) break;
    if (c == '\r' && source_.sgetc() == '\n') c = source_.sbumpc();
    piece.push_back(Traits::to_char_type(c));
    if (c == '\n') break;
  }
  return !piece.empty();
}

}  // namespace sstrxv
