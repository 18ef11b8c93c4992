// Balance file SLD against the private server: the sources of each read, the
// flexible fields and premium texts under a comma locale, a failing read.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <filesystem>

#include "common/test_env.h"
#include "export/balance/balance.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

// W02 to W16 ("" for a field without value), F01 to F10.
using Balances = std::array<std::string, 15>;
using Flexible = std::array<std::string, 10>;

std::string sldLine(const std::string& idn, const std::string& mnd, const std::string& date, const Balances& w,
                    const Flexible& f, const std::string& amp = "   -1") {
  std::string text;
  const auto put = [&](const std::string& value, std::size_t width) {
    text += value;
    text.append(width - value.size(), ' ');
  };
  put(idn, 50), put("STO", 8), put("L1", 5), put(mnd, 5), put(date, 8);
  for (const std::string& value : w) put(value.empty() ? "      0,00" : value, 10);
  for (const std::string& value : f) put(value, 20);
  put(amp, 5);
  return text + "x\r\n";
}

// A flexible field: the label in 12 characters, the value right-aligned in 8.
std::string slot(const std::string& label, const std::string& value) {
  return label + std::string(12 - label.size(), ' ') + std::string(8 - value.size(), ' ') + value;
}

class SaldoTest : public WriterTest {
 protected:
  void addTenant(const std::string& number, const std::string& schema, const std::string& location) {
    db.createTenantSchema(schema);
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('L" +
            number.substr(1) + "', '" + number + "', '" + schema + "', '" + location + "', 0)");
  }
  // A badge valid since yesterday; pnr is an SQL literal.
  void addBadge(const std::string& number, const std::string& pnr, const std::string& mnd,
                const std::string& schema) {
    db.exec("INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWPNR, ASWLIZ, ASWMND) VALUES ('" + number +
            "', NOW() - INTERVAL 1 DAY, " + pnr + ", 'L1', '" + mnd + "');"
            "INSERT INTO MVSYSTEM.MVS113AWV (AWVNUM, AWVSTO) VALUES ('" + number + "', 'STO');"
            "INSERT INTO " + schema + ".MVS300PNR (PNRNUM) VALUES (" + pnr + ")");
  }
  void addDayBalances(const std::string& schema, const std::string& pnr, const std::string& day, int ztr,
                      const std::string& sa, const std::string& vt) {
    db.exec("INSERT INTO " + schema + ".mvs320tgb VALUES (" + pnr + ", " + day + ", " + std::to_string(ztr) +
            ", " + sa + ", " + vt + ")");
  }
  std::string yesterday() { return db.scalar("SELECT DATE_FORMAT(CURDATE() - INTERVAL 1 DAY, '%Y%m%d')"); }
  void writeSlots(const std::string& text) { writeFile(layout.workDir() / "SaldoRXV.ini", text); }

  const std::string path = outPath("saldo.imp");
};

}  // namespace

// Each read takes its own row and leaves the others' rows alone; a badge
// without rows shows the defaults. The program runs in a comma locale.
TEST_F(SaldoTest, EachReadTakesItsSourceRows) {
  addTenant("M1", "T1", "001");
  addBadge("B-EMPTY", "'P0'", "M1", "T1");
  addBadge("B-FULL", "'P''1'", "M1", "T1");  // a quote in the key of every read
  db.exec("INSERT INTO T1.mvs332urv VALUES ('P''1', YEAR(NOW()), 12.5, 30, 2.5), ('P''1', YEAR(NOW()) - 1, 9, 9, 9);"
          "INSERT INTO T1.mvs332utg VALUES ('P''1', CURDATE() - INTERVAL 2 DAY, 10, -3.25, 6.75),"
          " ('P''1', CURDATE() - INTERVAL 5 DAY, 1, 1, 1), ('P''1', CURDATE() + INTERVAL 1 DAY, 9, 9, 9);"
          "INSERT INTO T1.mvs332sfz VALUES ('P''1', CURDATE() - INTERVAL 1 DAY, 1.5, 2, 3, 4, 5),"
          " ('P''1', CURDATE() - INTERVAL 2 DAY, 9, 9, 9, 9, 9);"
          "INSERT INTO T1.mvs332sfv VALUES ('P''1', YEAR(CURDATE() - INTERVAL 1 DAY), 6.25), ('P''1', 2000, 9);"
          "INSERT INTO T1.mvs327tag VALUES ('P''1', CURDATE() - INTERVAL 1 DAY, 3), ('P''1', CURDATE(), 9),"
          " ('P''1', CURDATE() - INTERVAL 4 DAY, 7)");
  const std::string ones = "1, 1, 1, 1, 1, 1, 1";
  addDayBalances("T1", "'P''1'", "CURDATE() - INTERVAL 1 DAY", 1, "700, NULL, -40, 0, 60, 90, -90",
                 "55, 0, 10, 0, 0, 0, 0");
  addDayBalances("T1", "'P''1'", "CURDATE() - INTERVAL 1 DAY", 0, ones, ones);
  addDayBalances("T1", "'P''1'", "CURDATE()", 1, ones, ones);
  addDayBalances("T1", "'P''1'", "CURDATE() - INTERVAL 3 DAY", 1, ones, ones);
  writeSlots("F01=SAN\r\nF02=SGE\r\nF03=SRS\r\nF04=SVP\r\nF05=SAT\r\nF06=SVJ\r\n");

  const auto result = runProgram(layout, {path, "SLD"}, {{"LC_ALL", "de_DE.UTF-8"}});
  EXPECT_EQ(result.exitCode, 0);
  const std::string zero = slot("", "0,00 ");
  const std::string content = readFile(path);
  EXPECT_EQ(sortedLines(content),
            sortedLines(sldLine("B-EMPTY", "M1", "", {}, {zero, zero, zero, zero, zero, zero}) +
                        sldLine("B-FULL", "M1", yesterday(),
                                {"+    12,35", "+    12,50", "+    20,00", "+    10,00", "-     3,25", "+     6,75",
                                 "+    30,00", "", "-     0,30", "+     0,00", "+     1,00", "+     1,30",
                                 "-     1,30", "+    12,35", "-     0,30"},
                                {slot("", "1,50 "), slot("", "2,00 "), slot("", "3,00 "), slot("", "4,00 "),
                                 slot("", "5,00 "), slot("", "6,25 ")},
                                "    3")));
  EXPECT_EQ(content.size(), 2u * 434u);
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Flexible Saldenwerte: YES",
                                      "Schema:T1 Lizenz:L1 Mandant:M1", "Import " + path + " fertig.",
                                      "Die Schnittstellendatei vom Dateityp 'SLD' wurde erstellt!"}));
}

// Slots (a time slot with a vacation key, two slots on one field, F00 and
// F11) and premium texts, with the writer's numeric conventions of the locale.
class SaldoLocaleTest : public SaldoTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(SaldoLocaleTest, SlotsAndPremiumTextsOfThePremiumLocationOnly) {
  if (std::setlocale(LC_ALL, GetParam()) == nullptr) GTEST_SKIP() << GetParam() << " is not installed";
  addTenant("M1", "T1", "42381");
  addTenant("M2", "T2", "42381 ");  // not exactly the premium location
  addBadge("B1", "'P1'", "M1", "T1");
  addBadge("B2", "'P1'", "M2", "T2");
  db.exec("INSERT INTO T1.mvs332urv VALUES ('P1', YEAR(NOW()), 4.5, 30, 0)");
  addDayBalances("T1", "'P1'", "CURDATE() - INTERVAL 1 DAY", 1, "755, NULL, NULL, NULL, NULL, NULL, NULL",
                 "0, 0, 0, 0, 0, 0, 0");
  writeSlots("F01=SA1,UVJ\r\nT01=Zeit+Urlaub\r\nF04=UVJ\r\nF04=ULJ\r\nT04 Doppelt\r\nF00=UVJ\r\nF11=UVJ\r\n"
             "F10=UAN\r\n");
  std::filesystem::create_directories(layout.root() / "transfer" / "QORV");
  writeFile(layout.root() / "transfer" / "QORV" / "PraemienQORV.txt", "P1 12.5 7\r\nP1 1 1\r\n");

  EXPECT_EQ(runWriterInProcess(layout, writeSaldoFile, path), 0);
  Balances b1;
  b1[0] = b1[13] = "+    12,35", b1[1] = "+     4,50", b1[2] = "+    25,50", b1[6] = "+    30,00";
  b1[14] = "+     0,00";
  Flexible f1, f2;
  f1[0] = slot("Zeit+Urlaub", "12,40 "), f1[3] = slot("", "30,00 "), f1[9] = "ZG  12,5%  ZK     7%";
  f2[0] = slot("Zeit+Urlaub", "0,00 "), f2[3] = f2[9] = slot("", "0,00 ");
  EXPECT_EQ(readFile(path), sldLine("B1", "M1", yesterday(), b1, f1) + sldLine("B2", "M2", "", {}, f2));
  EXPECT_EQ(layout.logMessages().size(), 5u);  // start, slots, two tenants, done
}

INSTANTIATE_TEST_SUITE_P(Locales, SaldoLocaleTest, ::testing::Values("C", "de_DE.UTF-8"));

// A read error on a later badge: the file fails, earlier lines stay.
TEST_F(SaldoTest, ReadErrorKeepsEarlierLinesAndFails) {
  addTenant("M1", "T1", "42381");  // no premium file
  addTenant("M2", "T2", "002");
  addBadge("A1", "'P1'", "M1", "T1");
  addBadge("B1", "'Q1'", "M2", "T2");
  db.exec("DROP TABLE T2.mvs327tag");

  EXPECT_EQ(runWriterInProcess(layout, writeSaldoFile, path), 2);
  EXPECT_EQ(readFile(path), sldLine("A1", "M1", "", {}, {}));
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Flexible Saldenwerte: NO",
                                      "Schema:T1 Lizenz:L1 Mandant:M1",
                                      "Oeffnen der Praemiensystemdatei ist fehlgeschlagen",
                                      "Praemiensystemdaten konnte nicht ermittelt werden.",
                                      "Schema:T2 Lizenz:L2 Mandant:M2", "Fehler Ampelkonto einlesen: Pnr: Q1 RC: 1146",
                                      "Import " + path + " fehlgeschlagen."}));
}
