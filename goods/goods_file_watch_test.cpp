#include "goods/goods_file_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "goods/input_file.h"
#include "text/cp1251.h"

namespace {

struct Shown {
  std::string text;  // Windows-1251
  uint32_t style;
};

const std::string kGoods = "<start>\r\n1\tA\t\t1.00\t1\t0\t\r\n2\tB\t\t2.00\t1\t0\t\r\n<end>\r\n";

TEST(ReadUnchangedGoodsFrom, AFileThatChangesAtAnyCheckIsRefusedAlone) {
  FileIdentity before;
  before.known = true;
  before.size = kGoods.size();
  FileIdentity grown = before;
  grown.size += 100;
  const struct {
    const char* what;
    std::string bytes;
    int changedFrom;  // the check (from 1) from which the identity is another; 0: never
    bool read;
    std::string message;  // UTF-8; empty: none
  } cases[] = {
      {"never changed", kGoods, 0, true, ""},
      {"changed before the first reading", kGoods, 1, false, "Файл изменился во время чтения: f"},
      {"changed between the readings", kGoods, 2, false, "Файл изменился во время чтения: f"},
      {"changed during the last reading", kGoods, 3, false, "Файл изменился во время чтения: f"},
      // What the reader found in a file in flux is not told: only the change.
      {"a bad price in a changing file", "<start>\r\n1\tA\t\tx\t\t\t\r\n", 3, false,
       "Файл изменился во время чтения: f"},
      {"a bad price in a file that held still", "<start>\r\n1\tA\t\tx\t\t\t\r\n", 0, false,
       "Недопустимая цена: 'x\t'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemorySource source(c.bytes, 7);
    int checks = 0;
    const std::function<FileIdentity()> identityNow = [&] {
      ++checks;
      return c.changedFrom != 0 && checks >= c.changedFrom ? grown : before;
    };
    GoodsTable table;
    table.create();
    std::vector<Shown> shown;
    const bool read = ReadUnchangedGoodsFrom(source, identityNow, before, "f", false, table,
                                             [&shown](const std::string& text, uint32_t style) {
                                               shown.push_back({text, style});
                                             });
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(table.GoodsCount, c.read ? 2 : 0);
    // At the start, between the readings, at the end; none after a change was seen.
    EXPECT_EQ(checks, c.changedFrom == 0 ? 3 : c.changedFrom);
    if (c.message.empty()) {
      EXPECT_TRUE(shown.empty());
    } else {
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].text, W1251(c.message));
      EXPECT_EQ(shown[0].style, kIconError);
    }
  }
}

TEST(FileIdentity, TellsTheSameFileAndAnyChangeOfItsContent) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("tally-identity-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "goods.txt").string();
  std::ofstream(path, std::ios::binary) << kGoods;

  const FileIdentity before = IdentityOfFile(path);
  ASSERT_TRUE(before.known);
  EXPECT_EQ(before.size, kGoods.size());
  EXPECT_FALSE(IdentityOfFile((dir / "missing.txt").string()).known);
  {
    InputFile file;
    ASSERT_TRUE(file.open(path));
    EXPECT_TRUE(Unchanged(before, file.identity()));  // by name and open alike
  }
  std::ofstream(path, std::ios::binary | std::ios::app) << "3\tC\t\t3.00\t1\t0\t\r\n";
  EXPECT_FALSE(Unchanged(before, IdentityOfFile(path)));
  EXPECT_TRUE(SameFile(before, IdentityOfFile(path)));
  // Refused before anything is read: the file is no longer the one named at the start.
  GoodsTable table;
  table.create();
  std::vector<std::string> shown;
  EXPECT_FALSE(ReadUnchangedGoodsFile(
      path, "goods.txt", false, before, table,
      [&shown](const std::string& text, uint32_t) { shown.push_back(text); }));
  EXPECT_EQ(shown, std::vector<std::string>{W1251("Файл изменился во время чтения: goods.txt")});
  EXPECT_TRUE(ReadUnchangedGoodsFile(path, "goods.txt", false, IdentityOfFile(path), table,
                                     [](const std::string&, uint32_t) {}));
  EXPECT_EQ(table.GoodsCount, 2);  // what was appended stands after "<end>"
  std::filesystem::remove_all(dir);
}

}  // namespace
