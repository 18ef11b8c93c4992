// Authorization-class file BKL.
#include <gtest/gtest.h>

#include "common/test_env.h"
#include "export/master/master.h"
#include "tools/read_back.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

class BklTest : public WriterTest {
 protected:
  void addClass(const std::string& badge, const std::string& cls, const std::string& tenant, const std::string& stm,
                const std::string& from, const std::string& until) {
    db.exec("INSERT INTO MVSYSTEM.MVS301BKL (BKLASW, BKLBKL, BKLLIZ, BKLMND, BKLSTM, BKLGVO, BKLGBI) VALUES ('" +
            badge + "', '" + cls + "', 'L1', '" + tenant + "', " + stm + ", " + from + ", " + until + ")");
  }
  const std::string path = outPath("bkl.imp");
};

std::string bklLine(const std::string& badge, const std::string& cls, const std::string& tenant,
                    const std::string& stm) {
  return line({{badge, 50}, {cls, 5}, {"L1", 5}, {tenant, 5}, {stm, 1}});
}

}  // namespace

TEST_F(BklTest, AssignmentsValidNowOnceEachOrderedByBadgeAndClassAcrossTenants) {
  const std::string past = "NOW() - INTERVAL 1 DAY";
  const std::string future = "NOW() + INTERVAL 1 DAY";
  addClass("B200", "20", "M2", "'1'", past, "NULL");
  addClass("A100", "30", "M1", "'0'", past, future);
  addClass("B200", "10", "M1", "'1'", past, future);
  addClass("A100", "10", "M2", "NULL", past, "NULL");
  addClass("A100", "10", "M2", "NULL", past, "NULL");                      // duplicate
  addClass("A100", "40", "M1", "'0'", future, "NULL");                     // not begun
  addClass("A100", "50", "M1", "'0'", past, "NOW() - INTERVAL 1 MINUTE");  // ended
  addClass("C300", "10", "M1", "'ABCDEF'", past, "NULL");                  // written whole, moves the "x"
  addClass("C300", "20", "M1", "'ABCDEFGH'", past, "NULL");                // cut to six characters
  addClass("D''400", "10", "M1", "_latin1 0xE4", past, "NULL");

  const auto result = runProgram(layout, {path, "BKL"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(readFile(path), bklLine("A100", "10", "M2", "") + bklLine("A100", "30", "M1", "0") +
                                bklLine("B200", "10", "M1", "1") + bklLine("B200", "20", "M2", "1") +
                                bklLine("C300", "10", "M1", "ABCDEF") + bklLine("C300", "20", "M1", "ABCDEF") +
                                bklLine("D'400", "10", "M1", "\xE4"));
  expectReadsBack("BKL", readFile(path), "class mark=ABCDEF", 2);
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Import " + path + " fertig.",
                                      "Die Schnittstellendatei vom Dateityp 'BKL' wurde erstellt!"}));
}

TEST_F(BklTest, MissingClassTableEndsWithoutClosingMessage) {
  db.exec("ALTER TABLE MVSYSTEM.MVS301BKL RENAME TO MVSYSTEM.MVS301BKL_AWAY");
  const int result = static_cast<int>(runWriterInProcess(layout, writeBklFile, path));
  db.exec("ALTER TABLE MVSYSTEM.MVS301BKL_AWAY RENAME TO MVSYSTEM.MVS301BKL");
  EXPECT_EQ(result, 2);
  EXPECT_EQ(readFile(path), "");
  EXPECT_EQ(layout.logMessages(), (std::vector<std::string>{"Importdatei : " + path + " fuellen...",
                                                            "Fehler in Fkt. SQLOpenAswBkl(). RC: 1146"}));
}
