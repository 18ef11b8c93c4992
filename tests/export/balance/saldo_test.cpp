// Balance file SLD against the private server: each read's rows, slots and
// premium texts, a failing read; the numbers under a decimal-comma locale.
#include <gtest/gtest.h>

#include <filesystem>

#include <array>
#include <clocale>

#include "common/test_env.h"
#include "export/balance/balance.h"
#include "tools/read_back.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

// A balance line: W02 to W16 ("" for no value), F01 to F10 as given.
std::string sldLine(const std::string& idn, const std::string& mnd, const std::string& date,
                    const std::array<std::string, 15>& w, const std::array<std::string, 10>& f,
                    const std::string& amp = "   -1") {
  std::string text = line({{idn, 50}, {"STO", 8}, {"L1", 5}, {mnd, 5}, {date, 8}});
  text.resize(text.size() - 3);  // without "x\r\n"
  for (const std::string& value : w) text += value.empty() ? "      0,00" : value;
  for (const std::string& value : f) text += value + std::string(20 - value.size(), ' ');
  return text + amp + "x\r\n";
}

// A flexible field: the label in 12 characters, the value right-aligned in 8.
std::string slot(const std::string& label, const std::string& value) {
  return label + std::string(12 - label.size(), ' ') + std::string(8 - value.size(), ' ') + value;
}

class SaldoTest : public WriterTest {
 protected:
  // Tenant Mn (licence Ln, schema Tn) with badges valid since yesterday:
  // badge number and personnel number (an SQL literal).
  void addTenant(const std::string& n, const std::string& location,
                 std::initializer_list<std::pair<std::string, std::string>> badges) {
    db.createTenantSchema("T" + n);
    db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('L" + n + "', 'M" + n +
            "', 'T" + n + "', '" + location + "', 0)");
    for (const auto& [badge, pnr] : badges) {
      db.exec("INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWPNR, ASWLIZ, ASWMND) VALUES ('" + badge +
              "', NOW() - INTERVAL 1 DAY, " + pnr + ", 'L1', 'M" + n + "');" +
              "INSERT INTO MVSYSTEM.MVS113AWV VALUES ('" + badge + "', 'STO', NULL);" + "INSERT INTO T" + n +
              ".MVS300PNR (PNRNUM) VALUES (" + pnr + ")");
    }
  }
  std::string yesterday() { return db.scalar("SELECT DATE_FORMAT(CURDATE() - INTERVAL 1 DAY, '%Y%m%d')"); }

  const std::string path = outPath("saldo.imp");
};

}  // namespace

// Each read takes its own row and no other; a badge without rows shows the
// defaults. The program runs as a process in a decimal-comma environment.
TEST_F(SaldoTest, EachReadTakesItsSourceRows) {
  addTenant("1", "001", {{"B-EMPTY", "'P0'"}, {"B-FULL", "'P''1'"}});  // a quote in the key of every read
  const std::string ones = ", 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1)";
  db.exec(
      "INSERT INTO T1.mvs332urv VALUES ('P''1', YEAR(NOW()), 12.5, 30, 2.5), ('P''1', YEAR(NOW()) - 1, 9, 9, 9);"
      "INSERT INTO T1.mvs332utg VALUES ('P''1', CURDATE() - INTERVAL 2 DAY, 10, -3.25, 6.75),"
      " ('P''1', CURDATE() - INTERVAL 5 DAY, 1, 1, 1), ('P''1', CURDATE() + INTERVAL 1 DAY, 9, 9, 9);"
      "INSERT INTO T1.mvs332sfz VALUES ('P''1', CURDATE() - INTERVAL 1 DAY, 1.5, 2, 3, 4, 5),"
      " ('P''1', CURDATE() - INTERVAL 2 DAY, 9, 9, 9, 9, 9);"
      "INSERT INTO T1.mvs332sfv VALUES ('P''1', YEAR(CURDATE() - INTERVAL 1 DAY), 6.25), ('P''1', 2000, 9);"
      "INSERT INTO T1.mvs327tag VALUES ('P''1', CURDATE() - INTERVAL 1 DAY, 3), ('P''1', CURDATE(), 9),"
      " ('P''1', CURDATE() - INTERVAL 4 DAY, 7);"
      "INSERT INTO T1.mvs320tgb VALUES"
      " ('P''1', CURDATE() - INTERVAL 1 DAY, 1, 700, NULL, -40, 0, 60, 90, -90, 55, 0, 10, 0, 0, 0, 0),"
      " ('P''1', CURDATE() - INTERVAL 1 DAY, 0" +
      ones + ", ('P''1', CURDATE(), 1" + ones + ", ('P''1', CURDATE() - INTERVAL 3 DAY, 1" + ones);
  writeFile(layout.workDir() / "SaldoRXV.ini", "F01=SAN\r\nF02=SGE\r\nF03=SRS\r\nF04=SVP\r\nF05=SAT\r\nF06=SVJ\r\n");

  EXPECT_EQ(runProgram(layout, {path, "SLD"}, {{"LC_ALL", "de_DE.UTF-8"}}).exitCode, 0);
  const std::string zero = slot("", "0,00 ");
  EXPECT_EQ(sortedLines(readFile(path)),
            sortedLines(sldLine("B-EMPTY", "M1", "", {}, {zero, zero, zero, zero, zero, zero}) +
                        sldLine("B-FULL", "M1", yesterday(),
                                {"+    12,35", "+    12,50", "+    20,00", "+    10,00", "-     3,25", "+     6,75",
                                 "+    30,00", "", "-     0,30", "+     0,00", "+     1,00", "+     1,30", "-     1,30",
                                 "+    12,35", "-     0,30"},
                                {slot("", "1,50 "), slot("", "2,00 "), slot("", "3,00 "), slot("", "4,00 "),
                                 slot("", "5,00 "), slot("", "6,25 ")},
                                "    3")));
  EXPECT_EQ(layout.logMessages().at(1), "Flexible Saldenwerte: YES");
}

// Slots (a time slot with a vacation key, two slots on one field, F00, F11)
// and premium texts at exactly location 42381, with the writer itself
// running under the numeric conventions of a decimal-comma locale.
TEST_F(SaldoTest, SlotsAndPremiumTextsUnderACommaLocale) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  addTenant("1", "42381", {{"B1", "'P1'"}});
  addTenant("2", "42381 ", {{"B2", "'P1'"}});
  db.exec(
      "INSERT INTO T1.mvs332urv VALUES ('P1', YEAR(NOW()), 4.5, 30, 0);"
      "INSERT INTO T1.mvs320tgb (TGBPNR, TGBDTM, TGBZTR, TGBSA1, TGBVT1) VALUES"
      " ('P1', CURDATE() - INTERVAL 1 DAY, 1, 755, 0)");
  writeFile(layout.workDir() / "SaldoRXV.ini",
            "F01=SA1,UVJ\r\nT01=Zeit+Urlaub\r\nF04=UVJ\r\nF04=ULJ\r\nT04 Doppelt\r\nF00=UVJ\r\nF11=UVJ\r\nF10=UAN\r\n");
  std::filesystem::create_directories(layout.root() / "transfer" / "QORV");
  writeFile(layout.root() / "transfer" / "QORV" / "PraemienQORV.txt", "P1 12.5 7\r\nP1 1 1\r\n");

  const int result = static_cast<int>(runWriterInProcess(layout, writeSaldoFile, path));
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(result, 0);
  const std::string twelve = "+    12,35";
  EXPECT_EQ(
      readFile(path),
      sldLine(
          "B1", "M1", yesterday(),
          {twelve, "+     4,50", "+    25,50", "", "", "", "+    30,00", "", "", "", "", "", "", twelve, "+     0,00"},
          {slot("Zeit+Urlaub", "12,40 "), "", "", slot("", "30,00 "), "", "", "", "", "", "ZG  12,5%  ZK     7%"}) +
          sldLine("B2", "M2", "", {},
                  {slot("Zeit+Urlaub", "0,00 "), "", "", slot("", "0,00 "), "", "", "", "", "", slot("", "0,00 ")}));
  expectReadsBack("SLD", readFile(path), "tenant number=M2", 1);
}

// A read error on a later badge: the file fails, earlier lines stay.
TEST_F(SaldoTest, ReadErrorFailsTheFile) {
  addTenant("1", "42381", {{"A1", "'P1'"}});  // no premium file
  addTenant("2", "002", {{"B1", "'Q1'"}});
  db.exec("DROP TABLE T2.mvs327tag");

  EXPECT_EQ(runWriterInProcess(layout, writeSaldoFile, path), WriterResult::kDbError);
  EXPECT_FALSE(std::filesystem::exists(path));  // not the first tenant's lines alone
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{
                "Importdatei : " + path + " fuellen...", "Flexible Saldenwerte: NO", "Schema:T1 Lizenz:L1 Mandant:M1",
                "Oeffnen der Praemiensystemdatei ist fehlgeschlagen",
                "Praemiensystemdaten konnte nicht ermittelt werden.", "Schema:T2 Lizenz:L2 Mandant:M2",
                "Fehler Ampelkonto einlesen: Pnr: Q1 RC: 1146", "Import " + path + " fehlgeschlagen."}));
}

// Each of the six statements of the five reads, failing on its own, names
// its read; a failing first shift-leave statement fails the badge too.
TEST_F(SaldoTest, EachFailingReadNamesItself) {
  const std::pair<const char*, const char*> cases[] = {
      {"mvs332urv", "Urlaubsvortraege"}, {"mvs332utg", "Urlaubstage"}, {"mvs332sfz", "Schichtfreizeit"},
      {"mvs332sfv", "Schichtfreizeit"},  {"mvs320tgb", "Saldenwerte"}, {"mvs327tag", "Ampelkonto"},
  };
  for (const auto& [table, read] : cases) {
    db.reset();
    addTenant("1", "001", {{"B1", "'Q1'"}});
    db.exec(std::string("DROP TABLE T1.") + table);
    EXPECT_EQ(runWriterInProcess(layout, writeSaldoFile, path), WriterResult::kDbError) << table;
    const auto log = layout.logMessages();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], std::string("Fehler ") + read + " einlesen: Pnr: Q1 RC: 1146") << table;
    EXPECT_EQ(log.back(), "Import " + path + " fehlgeschlagen.") << table;
  }
}

// A personnel number that makes the balance read (it names the key twice)
// reach the statement limit ends the writer at once: nothing more is
// logged, and the first tenant's lines are dropped with the file.
TEST_F(SaldoTest, ReadReachingTheStatementLimitEndsTheWriter) {
  db.exec("ALTER TABLE MVSYSTEM.MVS301ASW MODIFY ASWPNR VARCHAR(1000) NULL");
  struct RestoreWidth {
    TestDatabase& db;
    ~RestoreWidth() {
      db.exec("DELETE FROM MVSYSTEM.MVS301ASW; ALTER TABLE MVSYSTEM.MVS301ASW MODIFY ASWPNR VARCHAR(100) NULL");
    }
  } restore{db};
  // In schema T2 the balance read has 363 characters besides its two keys.
  const std::pair<std::size_t, WriterResult> cases[] = {{818, WriterResult::kOk},
                                                        {819, WriterResult::kStatementTooLong}};
  for (const auto& [keyLength, result] : cases) {
    db.reset();
    std::filesystem::remove(layout.logFile());
    std::filesystem::remove(path);
    addTenant("1", "001", {{"A1", "'P1'"}});
    db.createTenantSchema("T2");
    db.exec("ALTER TABLE T2.MVS300PNR MODIFY PNRNUM VARCHAR(1000) NULL");
    db.exec(
        "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDSTO, MNDKON) VALUES ('L2', 'M2', 'T2', '002', 0)");
    const std::string key = "'" + std::string(keyLength, 'K') + "'";
    db.exec(
        "INSERT INTO MVSYSTEM.MVS301ASW (ASWNUM, ASWGVO, ASWPNR, ASWLIZ, ASWMND) VALUES ('B1', NOW() - INTERVAL 1 "
        "DAY, " +
        key +
        ", 'L1', 'M2'); INSERT INTO MVSYSTEM.MVS113AWV VALUES ('B1', 'STO', NULL);"
        "INSERT INTO T2.MVS300PNR (PNRNUM) VALUES (" +
        key + ")");

    EXPECT_EQ(runWriterInProcess(layout, writeSaldoFile, path), result) << keyLength;
    const std::vector<std::string> walked = {"Importdatei : " + path + " fuellen...", "Flexible Saldenwerte: NO",
                                             "Schema:T1 Lizenz:L1 Mandant:M1", "Schema:T2 Lizenz:L2 Mandant:M2"};
    if (result == WriterResult::kOk) {
      EXPECT_EQ(sortedLines(readFile(path)).size(), 2u);
      continue;
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(layout.logMessages(), walked);
  }
}
