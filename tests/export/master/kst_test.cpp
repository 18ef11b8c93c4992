// Cost-centre file KST.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_env.h"
#include "export/master/master.h"

using namespace sstrxv;
using namespace sstrxv::test;

namespace {

class KstTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    db.createTenantSchema("T1");
    db.exec(
        "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDSCH, MNDKON) VALUES"
        " ('L1', 'M1', 'T1', 0), ('L2', 'M2', 'T2', 0)");
  }
  const std::string path = outPath("kostenst.imp");
};

std::string kstLine(const std::string& num, const std::string& tenant, const std::string& licence,
                    const std::string& apz, const std::string& text, const std::string& by) {
  return line({{num, 30}, {tenant, 5}, {licence, 5}, {apz, 7}, {"", 7}, {text, 30}, {by, 50}});
}

}  // namespace

TEST_F(KstTest, ActiveCostCentresInOrderTrimmedWithTenantBeforeLicence) {
  db.createTenantSchema("T2");
  db.exec(
      "INSERT INTO T1.O1003KstStelle (KSTNUM, KSTTXT, KSTERF, KSTAPZ, KSTSTA) VALUES"
      " ('300', 'Lager \t', 'admin  ', '12 ', NULL),"
      " ('100', 'Verwaltung', 'admin', '7', 0),"
      " ('200 ', '   ', NULL, NULL, 3),"  // a text of blanks only stays
      " ('150', 'Inaktiv', 'admin', '1', 4),"
      " ('160', 'Aufgeloest', 'admin', '1', 8),"
      " ('400', REPEAT('T', 40), 'admin', '12345678', 1);"  // cut to their fields
      "INSERT INTO T2.O1003KstStelle (KSTNUM, KSTTXT, KSTERF, KSTAPZ, KSTSTA) VALUES"
      " ('050', _latin1 0x4BFC636865, 'x', '2', 2)");
  const auto result = runProgram(layout, {path, "KST"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(readFile(path), kstLine("100", "M1", "L1", "7", "Verwaltung", "admin") +
                                kstLine("200", "M1", "L1", "", "   ", "") +
                                kstLine("300", "M1", "L1", "12", "Lager", "admin") +
                                kstLine("400", "M1", "L1", "1234567", std::string(30, 'T'), "admin") +
                                kstLine("050", "M2", "L2", "2",
                                        "K\xFC"
                                        "che",
                                        "x"));
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Schema:T1 Lizenz:L1 Mandant:M1",
                                      "Schema:T2 Lizenz:L2 Mandant:M2", "Import " + path + " fertig.",
                                      "Die Schnittstellendatei vom Dateityp 'KST' wurde erstellt!"}));
}

TEST_F(KstTest, TenantWithoutCostCentreTableEndsTheWriter) {
  db.exec("CREATE DATABASE T2");
  db.exec("INSERT INTO T1.O1003KstStelle (KSTNUM, KSTTXT, KSTERF, KSTAPZ) VALUES ('1', 'A', 'B', 'C')");
  EXPECT_EQ(runWriterInProcess(layout, writeKstFile, path), WriterResult::kDbError);
  EXPECT_FALSE(std::filesystem::exists(path));
  const auto log = layout.logMessages();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3], "Fehler in Fkt. SQL_Open_Kst(). RC: 1146");
  EXPECT_EQ(log[4], "Import " + path + " fehlgeschlagen.");
}
