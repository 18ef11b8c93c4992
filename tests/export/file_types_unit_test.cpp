// The file-type table: every type can be dispatched, has its writer and its
// layout under its own code, and the usage text printed from the table is
// the program's text byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "export/file_types.h"

using namespace sstrxv;

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return upper(x) == upper(y); });
}

TEST(FileTypes, EachTypeHasItsWriterLayoutAndUsageLineUnderItsCode) {
  std::set<std::string_view> codes;
  for (const FileTypeEntry& type : fileTypes()) {
    SCOPED_TRACE(type.code);
    EXPECT_EQ(type.code.size(), 3u);
    EXPECT_TRUE(codes.insert(type.code).second) << "code twice in the table";
    EXPECT_NE(type.writer, nullptr);
    ASSERT_NE(type.layout, nullptr);
    EXPECT_EQ(std::ranges::count(fileLayouts(), type.layout), 1);
    // "20p  f. Datei MGSST20P": the code in its usage spelling, the file's name.
    EXPECT_TRUE(equalIgnoringCase(type.usageLine().substr(0, 5), std::string(type.code) + "  "));
    EXPECT_TRUE(type.usageLine().ends_with(" " + std::string(type.layout->fileName)));
    // A 14-character key that begins with a code is that file type.
    EXPECT_EQ(findFileType(std::string(type.code) + "12345678901"), &type);
  }
  EXPECT_EQ(findFileType("ID"), nullptr);
  EXPECT_EQ(findFileType("idn"), nullptr);  // the driver has upper-cased it
}

TEST(FileTypes, UsageTextIsTheProgramsTextByteForByte) {
  EXPECT_EQ(usageText(),
            "\n"
            "************************************************************\n"
            "** Melvarion                                              **\n"
            "** Projekt     : Pollarix                                 **\n"
            "** Tool        : von RXV                                  **\n"
            "** Beschreibung: Fuellt Schnittstellendatei xxxxxx.imp    **\n"
            "**               mit Daten aus Melvarion RXV              **\n"
            "************************************************************\n"
            "\n"
            "Befehlsformat: \n"
            "SSTRxv_<DBSys>.exe  <Dateiname> <Dateityp>  [/D] \n"
            "DBSys     : Datenbanksystem\n"
            "Dateiname : vollst\xE4ndiger Pfad und Name der Schnittstellendatei \n"
            "Dateityp  : 20p  f. Datei MGSST20P\n"
            "            35p  f. Datei MGSST35P\n"
            "            41p  f. Datei MGSST41P\n"
            "            Mnd  f. Datei MNDSTAMM\n"
            "            IDN  f. Datei IDStamm\n"
            "            SLD  f. Datei SALDO\n"
            "            KST  f. Datei Kostenst\n"
            "            BKL  f. Berechtigungsklassen\n"
            "            FTG  f. Feiertage\n"
            "            MST  f. Mitarbeiterstatus\n"
            "            MDT  f. Mitarbeiterdetail\n"
            "            FCD  f. Funktionscodes\n"
            "            xxx  (14 stellig) f. selektive Erstellung\n"
            "/D        : DebugFlag, optional, Ausgabe von Meldungen im DOS-Fenster\n"
            "\n"
            "SSTRxv.EXE ../Transfer/Pollarix/mgsst35p.imp  35p  /D  \n"
            "\n");
}

}  // namespace
