// Prints the format reference, docs/formats.md, from the line formats the
// writers use:  build/sstrxv-formats > docs/formats.md
#include <cstdio>
#include <string>

#include "export/format_reference.h"

int main(int argc, char**) {
  if (argc > 1) {
    std::fputs("usage: sstrxv-formats > docs/formats.md\n", stderr);
    return 2;
  }
  const std::string reference = sstrxv::formatReference(sstrxv::fileLayouts());
  const bool written = std::fwrite(reference.data(), 1, reference.size(), stdout) == reference.size();
  return written && std::fflush(stdout) == 0 ? 0 : 1;
}
