#include "goods/goods_file_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "goods/input_file.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

const std::string kGoods = "<start>\r\n1\tA\t\t1.00\t1\t0\t\r\n2\tB\t\t2.00\t1\t0\t\r\n<end>\r\n";
const std::string kChanged = "Файл изменился во время чтения: f";

TEST(ReadUnchangedGoodsFrom, AFileThatChangesAtAnyCheckIsRefusedAlone) {
  const FileIdentity before{.known = true, .size = kGoods.size()};
  const FileIdentity grown{.known = true, .size = kGoods.size() + 100};
  const std::string badPrice = "<start>\r\n1\tA\t\tx\t\t\t\r\n";
  const struct {
    std::string bytes;
    int changedFrom;   // the check (from 1) from which the identity is another; 0: never
    std::string told;  // UTF-8, the only message (an error); empty: none, the file read
  } cases[] = {
      {kGoods, 0, ""},
      {kGoods, 1, kChanged},  // before the first reading
      {kGoods, 2, kChanged},  // once the first bytes told a text from a workbook
      {kGoods, 3, kChanged},  // between the readings
      {kGoods, 4, kChanged},  // during the last reading
      // What the reader found in a file in flux is not told: only the change.
      {badPrice, 4, kChanged},
      {badPrice, 0, "Недопустимая цена: 'x\t' (строка 2 файла)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told + " " + std::to_string(c.changedFrom));
    MemorySource source(c.bytes, 7);
    int checks = 0;
    const std::function<FileIdentity()> identityNow = [&] {
      ++checks;
      return c.changedFrom != 0 && checks >= c.changedFrom ? grown : before;
    };
    GoodsTable table;
    table.create();
    std::vector<std::string> told;
    const bool read = ReadUnchangedGoodsFrom(
        source, identityNow, before, "f", false, table,
        [&told](const std::string& text, uint32_t style) {
          told.push_back(Cp1251ToUtf8(text) + (style == kIconError ? "" : " (not an error)"));
        });
    EXPECT_EQ(read, c.told.empty());
    EXPECT_EQ(table.GoodsCount, c.told.empty() ? 2 : 0);
    // At the start, after the first bytes, between the readings, at the end; none after a
    // change was seen.
    EXPECT_EQ(checks, c.changedFrom == 0 ? 4 : c.changedFrom);
    EXPECT_EQ(told, c.told.empty() ? std::vector<std::string>{} : std::vector{c.told});
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
  EXPECT_EQ(shown,
            std::vector<std::string>{Utf8ToCp1251("Файл изменился во время чтения: goods.txt")});
  EXPECT_TRUE(ReadUnchangedGoodsFile(path, "goods.txt", false, IdentityOfFile(path), table,
                                     [](const std::string&, uint32_t) {}));
  EXPECT_EQ(table.GoodsCount, 2);  // what was appended stands after "<end>"
  std::filesystem::remove_all(dir);
}

}  // namespace
