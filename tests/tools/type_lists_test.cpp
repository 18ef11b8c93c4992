// The lists of the file types outside the code name every type of the
// file-type table once and nothing else: the site's documentation, the
// manual page, what sstrxv-imp types prints, and the demo database, from
// which every type writes at least one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "driver/driver.h"
#include "export/file_types.h"

using namespace sstrxv;
using namespace sstrxv::test;
using Codes = std::vector<std::string>;

namespace fs = std::filesystem;

namespace {

const fs::path kSource = SSTRXV_SOURCE_DIR;

// The first group of every match of `code` in the part of a source file from
// `from` to the next `to`.
Codes listed(const std::string& file, const std::string& from, const std::string& to, const std::string& code) {
  const std::string text = readFile(kSource / file);
  const std::size_t start = text.find(from);
  if (start == std::string::npos) return {};
  const std::string part = text.substr(start, text.find(to, start + from.size()) - start);
  const std::regex pattern(code);
  Codes codes;
  for (std::sregex_iterator match(part.begin(), part.end(), pattern), end; match != end; ++match) {
    codes.push_back((*match)[1]);
  }
  return codes;
}

Codes printedByImp() {
  Codes codes;
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(SSTRXV_IMP " types", "r"), ::pclose);
  char line[64];
  while (pipe && std::fgets(line, sizeof line, pipe.get())) codes.emplace_back(line, std::strcspn(line, "\n"));
  return codes;
}

class TypeListTest : public WriterTest {
 protected:
  // The types that write a line from the demo database, loaded as scripts/demo loads it.
  Codes writtenFromDemo() {
    for (const char* schema : {"MAND1", "MAND2"}) db.createTenantSchema(schema);
    db.exec(readFile(kSource / "demo" / "demo_data.sql"));
    Codes codes;
    for (const FileTypeEntry& type : fileTypes()) {
      const std::string code(type.code);
      const std::string path = outPath(code + ".imp");
      const char* argv[] = {"SSTRXV", path.c_str(), code.c_str()};
      ObservedEnv env;
      layout.configure(env);
      EXPECT_EQ(runProgram(3, argv, env), EXIT_DONE) << type.code;
      if (readFile(path).find('\n') != std::string::npos) codes.emplace_back(type.code);
    }
    return codes;
  }
};

TEST_F(TypeListTest, EveryListNamesEachFileTypeOnce) {
  const std::string kWord = R"(\b([0-9A-Z]{3})\b)";
  const std::vector<std::pair<std::string, std::function<Codes()>>> lists = {
      {"README.md, its table of file types",
       [] { return listed("README.md", "## File types", "\n## ", R"(\n\| `([^`]*)` \|)"); }},
      {"README.md, its sudoers line", [&] { return listed("README.md", "NOPASSWD:", "\n", kWord); }},
      {"README.md, its NRPE command", [&] { return listed("README.md", "command[check_sstrxv]=", "\n", kWord); }},
      {"packaging/man/SSTRXV.1", [&] { return listed("packaging/man/SSTRXV.1", "The file types are", ";", kWord); }},
      {"the output of sstrxv-imp types", printedByImp},
      {"demo/demo_data.sql, a line written from it", [this] { return writtenFromDemo(); }},
  };
  for (const auto& [where, list] : lists) {
    const Codes codes = list();
    for (const FileTypeEntry& type : fileTypes()) {
      const auto times = std::ranges::count(codes, type.code);
      EXPECT_EQ(times, 1) << "file type " << type.code << (times == 0 ? " is missing in " : " is twice in ") << where;
    }
    for (const std::string& code : codes) {
      EXPECT_TRUE(code.size() == 3 && findFileType(code)) << code << " in " << where << " is no file type";
    }
  }
}

}  // namespace
