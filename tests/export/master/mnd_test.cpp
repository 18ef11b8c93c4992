// Tenant file MND, run end to end as a process.
#include <gtest/gtest.h>

#include "common/test_env.h"

using namespace sstrxv::test;

namespace {

class MndTest : public WriterTest {
 protected:
  const std::string path = outPath("mndstamm.imp");
};

std::string mndLine(const std::string& lic, const std::string& num, const std::string& name, const std::string& status,
                    const std::string& date, const std::string& by) {
  return line({{lic, 5}, {num, 5}, {name, 50}, {status, 5}, {date, 14}, {by, 50}});
}

}  // namespace

TEST_F(MndTest, EveryTenantRowOnceWithItsExactBytes) {
  db.exec(
      "INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDNA1, MNDSTA, MNDDAT, MNDERF, MNDKON, MNDSCH) VALUES "
      "('00001', '00010', _latin1 0x4DFC6C6C6572, '1', '2026-03-01 06:15:09', 'admin', 0, 'T1'),"
      "('00001', '00010', _latin1 0x4DFC6C6C6572, '1', '2026-03-01 06:15:09', 'admin', 0, 'T1'),"  // duplicate
      "('00002', '00020', 'Kontrolle', '0', NULL, NULL, 1, 'T2'),"  // skipped by the tenant loop, listed here
      "('00003', NULL, NULL, NULL, NULL, NULL, 0, NULL)");
  const auto result = runProgram(layout, {path, "MND"});
  EXPECT_EQ(result.exitCode, 0);
  const std::string content = readFile(path);
  EXPECT_EQ(sortedLines(content),
            sortedLines(mndLine("00001", "00010", "M\xFCller", "1", "20260301061509", "admin") +
                        mndLine("00002", "00020", "Kontrolle", "0", "", "") + mndLine("00003", "", "", "", "", "")));
  EXPECT_EQ(content.size(), 3u * 132u);
  EXPECT_EQ(layout.logMessages(),
            (std::vector<std::string>{"Importdatei : " + path + " fuellen...", "Import " + path + " fertig.",
                                      "Die Schnittstellendatei vom Dateityp 'MND' wurde erstellt!"}));
}

TEST_F(MndTest, EmptyTableGivesAnEmptyFileAndOverlongNamesAreCut) {
  sstrxv::test::writeFile(path, "old content\r\n");
  EXPECT_EQ(runProgram(layout, {path, "MND"}).exitCode, 0);
  EXPECT_EQ(readFile(path), "");

  db.exec("INSERT INTO MVSYSTEM.MVS112MND (MNDLIZ, MNDNUM, MNDNA1, MNDKON) VALUES ('1', '2', REPEAT('N', 60), 0)");
  EXPECT_EQ(runProgram(layout, {path, "MND"}).exitCode, 0);
  EXPECT_EQ(readFile(path), mndLine("1", "2", std::string(50, 'N'), "", "", ""));
}
