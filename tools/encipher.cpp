// Prints the settings-file form of each argument: the value enciphered with
// the settings key, as upper-case hexadecimal digits.
#include <cstdio>
#include <string_view>

#include "support/cipher.h"
#include "support/descriptors.h"

namespace {

constexpr std::string_view kHelp =
    "Usage: sstrxv-encipher VALUE...\n"
    "Print the stored form of each VALUE for the product's settings file\n"
    "../../Files/Melvarion.Ini, one line each: the value enciphered with the\n"
    "product's key, as upper-case hexadecimal digits.\n"
    "\n"
    "SSTRXV reads the keys NET8 (database host; empty: the local server), LOGIN\n"
    "(user) and PASS (password), each in a record of two lines:\n"
    "\n"
    "  ;Datenbank;                        the section\n"
    "  1;NET8;<stored form of the host>   the number, the key and the stored value\n"
    "\n"
    "Options:\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "A value that is itself \"--help\" or \"--version\" is given after \"--\".\n"
    "\n"
    "Example: sstrxv-encipher dbserver exporter 'the password'\n";

}  // namespace

int main(int argc, char** argv) {
  sstrxv::openClosedStandardDescriptors();
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 2 && first == "--help") return std::fputs(kHelp.data(), stdout) < 0 ? 2 : 0;
  if (argc == 2 && first == "--version") return std::puts("sstrxv-encipher " SSTRXV_VERSION) < 0 ? 2 : 0;
  const int firstValue = first == "--" ? 2 : 1;
  if (argc <= firstValue) {
    std::fputs("Usage: sstrxv-encipher VALUE...\nTry 'sstrxv-encipher --help'.\n", stderr);
    return 2;
  }
  for (int i = firstValue; i < argc; ++i) {
    std::puts(sstrxv::encryptText(argv[i], sstrxv::kSettingsKey).c_str());
  }
  return 0;
}
