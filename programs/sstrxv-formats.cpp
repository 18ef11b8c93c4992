// Prints the format reference, docs/formats.md, from the line formats the
// writers use:  build/sstrxv-formats > docs/formats.md
#include <cstdio>
#include <string>
#include <string_view>

#include "export/file_types.h"
#include "export/format_reference.h"
#include "support/descriptors.h"
#include "support/memory.h"

namespace {

constexpr std::string_view kHelp =
    "Usage: sstrxv-formats > docs/formats.md\n"
    "Print the format reference of every interface file type as Markdown, from the\n"
    "line formats the writers use. After a change to a format, regenerate the\n"
    "checked-in docs/formats.md with it.\n";

bool write(std::FILE* stream, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  sstrxv::endProcessWhenMemoryRunsOut();
  if (argc == 2 && std::string_view(argv[1]) == "--help") return write(stdout, kHelp) ? 0 : 1;
  if (argc > 1) {
    write(stderr, "usage: sstrxv-formats > docs/formats.md\n");
    return 2;
  }
  return write(stdout, sstrxv::formatReference(sstrxv::fileLayouts())) ? 0 : 1;
}
