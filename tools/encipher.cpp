// Prints the settings-file form of each argument: the value enciphered with
// the settings key, as upper-case hexadecimal digits.
#include <cstdio>

#include "support/cipher.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: sstrxv-encipher <value> [<value> ...]\n", stderr);
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    std::puts(sstrxv::encryptText(argv[i], sstrxv::kSettingsKey).c_str());
  }
  return 0;
}
