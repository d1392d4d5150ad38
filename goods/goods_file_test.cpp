#include "goods/goods_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "goods/input_file.h"
#include "goods/number_readers.h"
#include "tests/workbook_bytes.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

struct Shown {
  std::string text;
  uint32_t style;
  bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
  return out << "(" << Cp1251ToUtf8(s.text) << ", 0x" << std::hex << s.style << std::dec << ")";
}

// A folder of its own for the files of one test, removed afterwards.
class GoodsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> serial{0};
    dir_ =
        std::filesystem::temp_directory_path() /
        ("tally-goods-" + std::to_string(std::random_device()()) + "-" + std::to_string(serial++) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string write(const std::string& bytes, const std::string& name = "goods.txt") {
    const std::filesystem::path file = dir_ / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }

  // Reads bytes as a goods file; the messages shown are left in shown.
  bool read(const std::string& bytes, bool wholeUnits = false) {
    return readFile(write(bytes), wholeUnits);
  }
  bool readFile(const std::string& name, bool wholeUnits = false) {
    shown.clear();
    return ReadGoodsFile(name, name, wholeUnits, table,
                         [this](const std::string& text, uint32_t style) {
                           shown.push_back({text, style});
                         });
  }

  std::filesystem::path dir_;
  GoodsTable table;
  std::vector<Shown> shown;
};

std::string Name(std::string_view text) {
  std::string column(text);
  column.resize(kNameWidth, ' ');
  return column;
}

std::string Barcode(std::string_view text) {
  std::string column(text);
  column.resize(kBarcodeWidth, ' ');
  return column;
}

// A goods line with all six fields and their TABs.
std::string Line(std::string_view code, std::string_view name, std::string_view barcode,
                 std::string_view price, std::string_view group, std::string_view flag) {
  std::string line;
  for (std::string_view f : {code, name, barcode, price, group, flag}) {
    line += f;
    line += '\t';
  }
  return line;
}

std::string Block(const std::vector<std::string>& lines) {
  std::string text = "<start>\r\n";
  for (const std::string& l : lines) text += l + "\r\n";
  return text + "<end>\r\n";
}

std::vector<Shown> Only(const Shown& message) { return {message}; }

// The refusal of a row: its field quoted, and the line where the row starts.
std::string AtLine(int64_t line) {
  return Utf8ToCp1251(" (строка ") + std::to_string(line) + Utf8ToCp1251(" файла)");
}

Shown Error(std::string_view utf8Lead, std::string_view field, int64_t line) {
  return {Utf8ToCp1251(utf8Lead) + std::string(field) + "'" + AtLine(line), kIconError};
}

// ---------------------------------------------------------------------------------------
// Goods lines, fields and columns

TEST_F(GoodsFileTest, GoodsLineFillsAllColumns) {
  ASSERT_TRUE(read(Block({Line("17", "Milk", "4600000000001", "79.90", "3", "1"),
                          Line("18", "Bread", "", "35.00", "", "0")})));
  EXPECT_TRUE(shown.empty());
  ASSERT_EQ(table.GoodsCount, 2);
  EXPECT_EQ(table.Code[1], 17);
  EXPECT_EQ(table.Name[1], Name("Milk\t"));
  EXPECT_EQ(table.Barcode[1], "4600000000001\t");
  EXPECT_EQ(table.Price[1], 7990);
  EXPECT_EQ(table.Group[1], 3);
  EXPECT_EQ(table.Flag[1], 1);
  EXPECT_EQ(table.Code[2], 18);
  EXPECT_EQ(table.Name[2], Name("Bread\t"));
  EXPECT_EQ(table.Barcode[2], Barcode("\t"));
  EXPECT_EQ(table.Price[2], 3500);
  EXPECT_EQ(table.Group[2], 0);
  EXPECT_EQ(table.Flag[2], 0);
}

TEST_F(GoodsFileTest, WholeUnitPrices) {
  ASSERT_TRUE(read(Block({Line("1", "A", "", "150", "", "")}), true));
  EXPECT_EQ(table.Price[1], 150);
  EXPECT_FALSE(read(Block({Line("1", "A", "", "150.00", "", "")}), true));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "150.00\t", 2)));
}

TEST_F(GoodsFileTest, NameAndBarcodeFitTheirColumns) {
  const std::string n23(23, 'N');
  const std::string n24(24, 'N');
  const std::string n30 =
      "\xC1\xE0\xF2\xEE\xED \xED\xE0\xF0\xE5\xE7\xED\xEE\xE9 " + std::string(20, 'x');
  ASSERT_TRUE(read(
      Block({Line("1", n23, "4600000000001", "1.00", "", ""),
             Line("2", n24, "04600000000001", "1.00", "", ""), Line("3", n30, "", "1.00", "", ""),
             Line("4", "0123456789", "46", "1.00", "", ""), Line("5", "", "", "1.00", "", "")})));
  ASSERT_EQ(table.GoodsCount, 5);
  EXPECT_EQ(table.Name[1], n23 + "\t");  // 23 characters keep their TAB
  EXPECT_EQ(table.Name[2], n24);         // 24 are cut without it
  EXPECT_EQ(table.Name[3], n30.substr(0, 24));
  EXPECT_EQ(table.Name[4], "0123456789\t" + std::string(13, ' '));
  EXPECT_EQ(table.Name[5], "\t" + std::string(23, ' '));
  EXPECT_EQ(table.Barcode[1], "4600000000001\t");  // 13 digits keep their TAB
  EXPECT_EQ(table.Barcode[2], "04600000000001");   // 14 are cut, same number
  EXPECT_EQ(table.Barcode[4], "46\t" + std::string(11, ' '));
}

TEST_F(GoodsFileTest, LastFieldEndsAtTheLineEnd) {
  struct Case {
    std::string line;
    int32_t code;
    std::string name;
    std::string barcode;
    int32_t price;
    int32_t group;
    int32_t flag;
  };
  const Case cases[] = {
      // A spreadsheet row: no TAB after the last field, which is read all the same.
      {"5\tA\t46\t7\t2\t1", 5, Name("A\t"), Barcode("46\t"), 7, 2, 1},
      {"5\tA\t46\t7\t2\t1\t", 5, Name("A\t"), Barcode("46\t"), 7, 2, 1},
      {"5\tA\t46\t7\t2\t1 ", 5, Name("A\t"), Barcode("46\t"), 7, 2, 1},
      {"5\tA\t46\t7\t2", 5, Name("A\t"), Barcode("46\t"), 7, 2, 0},
      {"5\tA\t46\t7\t2\t", 5, Name("A\t"), Barcode("46\t"), 7, 2, 0},
      {"5\tA\t46\t7", 5, Name("A\t"), Barcode("46\t"), 7, 0, 0},
      // Text after the sixth TAB is ignored.
      {"5\tA\t46\t7\t2\t1\t99\tjunk\t-1.5\t", 5, Name("A\t"), Barcode("46\t"), 7, 2, 1},
      {"5\tA\t46\t7\t2\t0\t1", 5, Name("A\t"), Barcode("46\t"), 7, 2, 0},
      // The flag keeps its rule: the first number, rounded, zero or not.
      {"1\t\t\t0\t\t0.51", 1, Name("\t"), Barcode("\t"), 0, 0, 1},
      {"1\t\t\t0\t\t0.5", 1, Name("\t"), Barcode("\t"), 0, 0, 0},
      {"1\t\t\t0\t\t-3", 1, Name("\t"), Barcode("\t"), 0, 0, 1},
      {"1\t\t\t0\t\tyes", 1, Name("\t"), Barcode("\t"), 0, 0, 0},
      {"1\t\t\t0\t\t1 234", 1, Name("\t"), Barcode("\t"), 0, 0, 1},
      {"1\t\t\t0\t\t99999999999999999999999\t", 1, Name("\t"), Barcode("\t"), 0, 0, 1},
      {"1\t\t\t0\t\t                         1\t", 1, Name("\t"), Barcode("\t"), 0, 0, 1},
      // A field in spreadsheet quotes is read as the text inside them, each "" as one ".
      {"5\t\"\xD8\xEE\xEA\xEE\xEB\xE0\xE4 \"\"\xC0\xEB\xB8\xED\xEA\xE0\"\" 100\xE3\"\t46\t7\t2\t1",
       5, Name("\xD8\xEE\xEA\xEE\xEB\xE0\xE4 \"\xC0\xEB\xB8\xED\xEA\xE0\" 100\xE3\t"),
       Barcode("46\t"), 7, 2, 1},  // "Шоколад ""Алёнка"" 100г"
      {"\"5\"\t\"A\"\t\"46\"\t\"7\"\t\"2\"\t\"1\"", 5, Name("A\t"), Barcode("46\t"), 7, 2, 1},
      {"5\t\"\"\t46\t7", 5, Name("\t"), Barcode("46\t"), 7, 0, 0},
      {"5\t\"" + std::string(30, 'x') + "\"\t46\t7", 5, std::string(24, 'x'), Barcode("46\t"), 7, 0,
       0},
      // A cell in quotes runs over TABs and line breaks, each one blank, in any column.
      {"5\t\"A\tB\"\t46\t7\t2\t1", 5, Name("A B\t"), Barcode("46\t"), 7, 2, 1},
      {"5\t\"A\r\n\r\nB\nC\"\t46\t7", 5, Name("A  B C\t"), Barcode("46\t"), 7, 0, 0},
      {"5\t\"\"\"c\"\"\tz\"\t46\t7", 5, Name("\"c\" z\t"), Barcode("46\t"), 7, 0, 0},
      {"5\tA\t46\t7\t2\t1\t\"x\r\n<end>\"", 5, Name("A\t"), Barcode("46\t"), 7, 2, 1},
      // Any other quote marks stay as they stand, and the fields split at every TAB.
      {"5\t\"A\tB\" x\t7", 5, Name("\"A\t"), Barcode("B\" x\t"), 7, 0, 0},
      {"5\t\"A\tB\t7\t2", 5, Name("\"A\t"), Barcode("B\t"), 7, 2, 0},
      {"5\t\"A\"B\"\t46\t7", 5, Name("\"A\"B\"\t"), Barcode("46\t"), 7, 0, 0},
      {"5\t\"A\"\"\t46\t7", 5, Name("\"A\"\"\t"), Barcode("46\t"), 7, 0, 0},
      {"5\t\"\t46\t7", 5, Name("\"\t"), Barcode("46\t"), 7, 0, 0},
      {"5\t \"A\"\t46\t7", 5, Name(" \"A\"\t"), Barcode("46\t"), 7, 0, 0},
      {"5\tA \"B\"\t46\t7", 5, Name("A \"B\"\t"), Barcode("46\t"), 7, 0, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(read(Block({c.line}), true)) << c.line;
    ASSERT_EQ(table.GoodsCount, 1) << c.line;
    EXPECT_EQ(table.Code[1], c.code) << c.line;
    EXPECT_EQ(table.Name[1], c.name) << c.line;
    EXPECT_EQ(table.Barcode[1], c.barcode) << c.line;
    EXPECT_EQ(table.Price[1], c.price) << c.line;
    EXPECT_EQ(table.Group[1], c.group) << c.line;
    EXPECT_EQ(table.Flag[1], c.flag) << c.line;
  }
  // In the default mode a price at the line end is read too; a missing one is empty.
  ASSERT_TRUE(read(Block({"5\tA\t46\t7.00"})));
  EXPECT_EQ(table.Price[1], 700);
  ASSERT_TRUE(read(Block({"5\tA\t46\t\"7,00\"\t"})));
  EXPECT_EQ(table.Price[1], 700);
  const struct {
    std::string line;
    Shown message;
  } refused[] = {
      {"5\tA\t46", {Utf8ToCp1251("Недопустимая цена: ''"), kIconError}},
      {"5\tA\t46\t7.5", {Utf8ToCp1251("Недопустимая цена: '7.5'"), kIconError}},
      {"5\tA\t46\t7.00\t1 5", {Utf8ToCp1251("Недопустимый номер группы: '1 5'"), kIconError}},
      {"5\tA\t4 6", {Utf8ToCp1251("Недопустимый штрих-код: '4 6'"), kIconError}},
      {"5 5", {Utf8ToCp1251("Недопустимый код товара: '5 5'"), kIconError}},
      // Unquoted, a field must still hold what its column takes.
      {"5\tA\t46\t\"7.5\"", {Utf8ToCp1251("Недопустимая цена: '7.5'"), kIconError}},
      {"\"5\"\"5\"", {Utf8ToCp1251("Недопустимый код товара: '5\"5'"), kIconError}},
      // A refused row spanning lines names its first; a 0x1A ends the file, not the cell.
      {"5\t\"A\nB\"\t46\t\"7.5\"", {Utf8ToCp1251("Недопустимая цена: '7.5'"), kIconError}},
      {"\"Totals\n2\"\t\t\t7.00",
       {Utf8ToCp1251("Недопустимый код товара: 'Totals 2\t'"), kIconError}},
      {"5\t\"A\n\x1A\"\t46\t7.00", {Utf8ToCp1251("Недопустимая цена: ''"), kIconError}},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(read(Block({r.line}))) << r.line;
    EXPECT_EQ(shown, Only({r.message.text + AtLine(2), kIconError})) << r.line;
  }
  // A line that ends before its price has none, in whole units too.
  for (const std::string line : {"5\tA\t46", "5\tMilk", "5"}) {
    EXPECT_FALSE(read(Block({line}), true)) << line;
    EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "", 2))) << line;
  }
}

TEST_F(GoodsFileTest, EmptyRowsAreNotGoods) {
  const std::string a = Line("1", "A", "", "1.00", "", "");
  const std::string b = Line("2", "B", "", "2.00", "", "");
  for (const std::string& row :
       {std::string(), std::string(" "), std::string("\t"), std::string("\t\t\t\t\t\t"),
        std::string(" \t \t  \t"), std::string(12, '\t'), std::string(300, ' ')}) {
    for (const bool wholeUnits : {false, true}) {
      const std::string price = wholeUnits ? "5" : "5.00";
      const std::string one = Line("1", "A", "", price, "", "");
      const std::string two = Line("2", "B", "", price, "", "");
      ASSERT_TRUE(read(Block({one, row, row, two, row}), wholeUnits)) << "'" << row << "'";
      EXPECT_TRUE(shown.empty());
      ASSERT_EQ(table.GoodsCount, 2) << "'" << row << "'";
      EXPECT_EQ(table.Code[1], 1);
      EXPECT_EQ(table.Code[2], 2);
    }
  }
  // Every CR CR LF line end holds an empty line; it adds nothing.
  ASSERT_TRUE(read("<start>\r\r\n" + a + "\r\r\n" + b + "\r\r\n<end>\r\r\n"));
  ASSERT_EQ(table.GoodsCount, 2);
  EXPECT_EQ(table.Price[2], 200);
  // Any other byte makes the row a goods line, even one after the sixth TAB or a no-break
  // space; it refuses the file in either mode without a digit in its code, as a heading row
  // ("\tМОЛОЧНЫЕ ПРОДУКТЫ") does, or without one in its price, as a short row does.
  const std::string code = "Недопустимый код товара: '";
  const std::string price = "Недопустимая цена: '";
  const struct {
    std::string row;
    std::string utf8Lead;
    std::string field;
  } rows[] = {{"\t\t\t\t\t\tx", code, "\t"},
              {"\xA0", code, "\xA0"},
              {"\t\t\t\t\t1", code, "\t"},
              {"\t-", code, "\t"},
              {"\t\xCC\xCE\xCB\xCE\xD7\xCD\xDB\xC5 \xCF\xD0\xCE\xC4\xD3\xCA\xD2\xDB", code, "\t"},
              {"5\tName\t4607001001010", price, ""},
              {"5\tName\t4607001001010\tx\t", price, "x\t"}};
  for (const auto& r : rows) {
    for (const bool wholeUnits : {false, true}) {
      EXPECT_FALSE(
          read(Block({Line("1", "A", "", wholeUnits ? "1" : "1.00", "", ""), r.row}), wholeUnits))
          << r.row;
      EXPECT_EQ(shown, Only(Error(r.utf8Lead, r.field, 3))) << r.row;
      EXPECT_EQ(table.GoodsCount, 0);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Markers and blocks

TEST_F(GoodsFileTest, MarkersAndBlocks) {
  const std::string a = Line("1", "A", "", "1", "", "");
  const std::string b = Line("2", "B", "", "2", "", "");
  const std::string c = Line("3", "C", "", "3", "", "");
  struct Case {
    std::string file;
    std::vector<int32_t> codes;  // read in whole-units mode: a line without TABs is code 0
  };
  const Case cases[] = {
      {"<start>\r\n<end>\r\n", {}},  // an empty block
      {"<start>", {}},
      {"<start>\r\n\r\n\t\t\r\n<end>\r\n" + a + "\r\n", {}},  // only empty rows
      {"header\r\n<start>\r\n" + a + "\r\n<end>\r\n" + b + "\r\n", {1}},
      {"<START>\r\n" + a + "\r\n", {1}},  // no "<end>": read to the end of the file
      {"<Start> goods\r\n" + a + "\r\n<END>\r\n", {1}},
      {"<start>ed\r\n" + a + "\r\n<end>ing\r\n" + b, {1}},
      {"<start><end>\r\n" + a, {1}},
      // The whole marker, its closing ">" included, must begin the line.
      {"<started>\r\n" + a + "\r\n<start>\r\n" + b, {2}},
      {"<start>\r\n" + a + "\r\n<ending>\r\n" + b, {1, 2}},
      {"\xEF\xBB\xBF<start>\r\n" + a + "\r\n", {1}},  // a UTF-8 mark is no part of the text
      {"<start>\r\n" + a + "\r\n 3\t<end>\t\t0\r\n" + b + "\r\n", {1, 3, 2}},  // goods
      // Lines beginning with "<" inside a block are skipped and not counted.
      {"<start>\r\n" + a + "\r\n<comment>\r\n<\r\n" + b + "\r\n<end>\r\n", {1, 2}},
      // Several blocks: item numbers run on across them.
      {"<start>\r\n" + a + "\r\n<end>\r\nnote\r\n<start>\r\n" + b + "\r\n" + c + "\r\n<end>\r\n",
       {1, 2, 3}},
      {"<start>\r\n<start>\r\n" + a + "\r\n<end>\r\n<end>\r\n" + b + "\r\n", {1}},
      // A marker cell in quotes, as a spreadsheet saves one with text after its marker, marks
      // as its text would unquoted: across TABs and lines, and inside a block as no goods.
      {"<start>\r\n" + a + "\r\n<end>\r\nnote\r\n\"" + Utf8ToCp1251("<start> второй блок") +
           "\"\t\t\t\t\t\r\n" + b + "\r\n<end>\r\n",
       {1, 2}},
      {"<start>\r\n" + a + "\r\n\"<END> x\"\r\n" + b + "\r\n", {1}},
      {"\"<Start> \"\"a\"\"\r\nb\"\r\n" + a + "\r\n\"<end>\tx\"\r\n" + b, {1}},
      {"<start>\r\n" + a + "\r\n\"<note>\"\t5\t\t5\r\n\"<\"\r\n" + b + "\r\n", {1, 2}},
      // Outside a block, a line beginning with a quote mark that is no such cell is skipped as
      // it stands, and the cell holds no line that would begin a block on its own.
      {"\"<start>\" x\r\n" + a + "\r\n<start>\r\n" + b, {2}},
      {"\"x\"\r\n" + a + "\r\n<start>\r\n" + b, {2}},
      {"\"\r\n<start>\"\r\n" + a, {1}},
      {"\"x\r\n<start>\"\t\r\n" + a, {1}},
      {"\"<a\r<START> x\r\n" + a + "\r\n<x\"\r\n" + b + "\r\n", {1, 2}},
  };
  for (const Case& k : cases) {
    ASSERT_TRUE(read(k.file, true)) << k.file;
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(table.GoodsCount, static_cast<int32_t>(k.codes.size())) << k.file;
    for (size_t i = 0; i < k.codes.size(); ++i) EXPECT_EQ(table.Code[i + 1], k.codes[i]) << k.file;
  }
}

TEST_F(GoodsFileTest, ItemsKnowTheirLines) {
  // Every line counts, whatever its line end: the header, markers, empty rows and skipped
  // lines too.
  // A row whose cell runs over line breaks starts on its first line.
  const std::string a = Line("1", "A", "", "1", "", "");
  ASSERT_TRUE(read("header\r\n<start>\r\n" + a + "\r\n\r\n<note>\n" + a + "\r" + a +
                       "\r\n<end>\r\nx\r\n<start>\r\n \t\r\n" + a +
                       "\r\n2\t\"B\r\nC\nD\"\t\t2\r\n" + a,
                   true));
  ASSERT_EQ(table.GoodsCount, 6);
  EXPECT_EQ(table.Line[1], 3);
  EXPECT_EQ(table.Line[2], 6);
  EXPECT_EQ(table.Line[3], 7);
  EXPECT_EQ(table.Line[4], 12);
  EXPECT_EQ(table.Line[5], 13);
  EXPECT_EQ(table.Line[6], 16);
  // So do the lines of a marker cell in quotes, outside a block and inside.
  ASSERT_TRUE(read("\"<start>\r\nx\"\r\n" + a + "\r\n\"<note\ny\"\t\r\n" + a +
                       "\r\n\"<end> \r\nz\"\r\n\"<start>\rw\"\r\n" + a,
                   true));
  ASSERT_EQ(table.GoodsCount, 3);
  EXPECT_EQ(table.Line[1], 3);
  EXPECT_EQ(table.Line[2], 6);
  EXPECT_EQ(table.Line[3], 11);
  ASSERT_FALSE(read("\"<start>\r\nx\"\r\n" + a + "\r\n" + Line("2", "B", "", "x", "", ""), true));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "x\t", 4)));
}

TEST_F(GoodsFileTest, NoStartLineIsNoGoodsFile) {
  const std::string a = Line("1", "A", "", "1.00", "", "");
  for (const std::string& file : {
           a + "\r\n" + a + "\r\n",  // a plain TAB-separated export
           std::string(),
           std::string("\r\n\r\n"),
           "<end>\r\n" + a + "\r\n",
           "<started>\r\n" + a + "\r\n",
           "<start\r\n" + a + "\r\n",
           std::string("<sta"),
           " <start>\r\n" + a + "\r\n",     // not in the first column
           "\xA0<start>\r\n" + a + "\r\n",  // a byte before it (a UTF-8 mark is dropped)
           "<st\xC0rt>\r\n" + a + "\r\n",   // only Latin letters are lowered
           "x<start>\r\n" + a + "\r\n",
           "\x1A<start>\r\n" + a + "\r\n",  // nothing after 0x1A is read
           a + "\r\n<end>\x1A\r\n<start>\r\n",
           // A quote that never closes opened no cell: the line begins with a quote mark.
           "\"<start>\r\n" + a + "\r\n",
           "\"<start>\t" + a + "\r\n",
           std::string("\"<start>"),
       }) {
    const std::string name = write(file);
    EXPECT_FALSE(readFile(name)) << file;
    EXPECT_EQ(shown, Only({Utf8ToCp1251("Не найдена строка <start> в файле: ") + name, kIconError}))
        << file;
    EXPECT_EQ(table.GoodsCount, 0);
    EXPECT_FALSE(readFile(name, true)) << file;
  }
  // The message in the bytes the user sees.
  const std::string name = write(a, "export.txt");
  EXPECT_FALSE(readFile(name));
  ASSERT_EQ(shown.size(), 1U);
  EXPECT_EQ(shown[0].text,
            "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED\xE0 \xF1\xF2\xF0\xEE\xEA\xE0 <start> \xE2 "
            "\xF4\xE0\xE9\xEB\xE5: " +
                name);
  EXPECT_EQ(shown[0].style, 0x10U);
}

TEST_F(GoodsFileTest, EndOfFileByte) {
  const std::string a = Line("1", "A", "", "1.00", "", "");
  const std::string b = Line("2", "B", "", "2.00", "", "");
  const std::string bad = Line("3", "C", "", "oops", "", "");
  struct Case {
    std::string file;
    std::vector<int32_t> codes;
  };
  const Case cases[] = {
      // The text before 0x1A on its line is the last line; nothing after it is read.
      {"<start>\r\n" + a + "\r\n" + b + "\x1A\r\n" + bad + "\r\n", {1, 2}},
      {"<start>\r\n" + a + "\r\n\x1A" + bad + "\r\n", {1}},
      {"<start>\r\n" + a +
           "\x1A"
           "\r\n<end>",
       {1}},
      {"<start>\r\n" + a + "\r\n\x1A", {1}},  // no empty line before the 0x1A
      {"<start>\r\n" + a + "\r\n<end>\x1A<start>\r\n" + b + "\r\n", {1}},
  };
  for (const Case& k : cases) {
    ASSERT_TRUE(read(k.file)) << k.file;
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(table.GoodsCount, static_cast<int32_t>(k.codes.size())) << k.file;
    for (size_t i = 0; i < k.codes.size(); ++i) EXPECT_EQ(table.Code[i + 1], k.codes[i]);
  }
}

TEST_F(GoodsFileTest, LineEnds) {
  const std::string a = Line("1", "A", "", "1", "", "");
  const std::string b = Line("2", "B", "", "2", "", "");
  struct Case {
    std::string file;
    std::vector<int32_t> codes;  // read in whole-units mode
  };
  const Case cases[] = {
      {"<start>\r\n" + a + "\r\n" + b + "\r\n<end>\r\n", {1, 2}},
      {"<start>\r" + a + "\r" + b + "\r<end>\r", {1, 2}},
      {"<start>\n" + a + "\n" + b + "\n<end>\n", {1, 2}},  // a file saved with LF alone
      {"<start>\n" + a + "\r\n" + b + "\r<end>", {1, 2}},
      {"<start>\r\n" + a + "\r\n" + b, {1, 2}},  // the last line needs no line end
      // CR LF is one line end; LF CR and CR CR are two, with an empty line between that is
      // no item.
      {"<start>\r\n" + a + "\n\r" + b + "\r\n", {1, 2}},
      {"<start>\r\n" + a + "\r\r" + b + "\r\n", {1, 2}},
      {"<start>\r\n" + a + "\r\r\n" + b + "\r\r\n", {1, 2}},
      {"<start>\r\n" + a + "\r\n\r\n" + b + "\r\n", {1, 2}},
      {"<start>\r\n" + a + "\n\n" + b + "\r\n", {1, 2}},
      // A line break inside a row ends it there: the rest is a row of its own.
      {"<start>\n1\tA\t\t1\n9\t\t\t0\t\n" + b, {1, 9, 2}},
  };
  for (const Case& k : cases) {
    ASSERT_TRUE(read(k.file, true)) << k.file;
    ASSERT_EQ(table.GoodsCount, static_cast<int32_t>(k.codes.size())) << k.file;
    for (size_t i = 0; i < k.codes.size(); ++i) EXPECT_EQ(table.Code[i + 1], k.codes[i]);
    EXPECT_EQ(table.Name[1], Name("A\t"));
  }
}

// The file is read in pieces; a line end, a TAB or a marker cut by a piece boundary must
// read as if it were whole.
TEST_F(GoodsFileTest, PieceBoundariesAnywhere) {
  const std::string line = Line("12", "Name", "4600000000001", "1.50", "7", "1");
  // An empty row between, and the second line without the TAB after its flag.
  const std::string tail =
      "\r\n \t \t\t\r\n" + line.substr(0, line.size() - 1) + "\r\n<end>\r\n" + line + "\r\n";
  const std::string body = "\r\n<start>\r\n" + line + tail;
  const size_t boundary = 64 * 1024;
  for (size_t cut = 0; cut < 80; ++cut) {
    // A header line that puts the boundary (64 KiB) cut bytes into what follows it.
    ASSERT_TRUE(read(std::string(boundary - cut, 'h') + body)) << cut;
    ASSERT_EQ(table.GoodsCount, 2) << cut;
    for (int32_t i = 1; i <= 2; ++i) {
      EXPECT_EQ(table.Code[i], 12) << cut;
      EXPECT_EQ(table.Name[i], Name("Name\t")) << cut;
      EXPECT_EQ(table.Barcode[i], "4600000000001\t") << cut;
      EXPECT_EQ(table.Price[i], 150) << cut;
      EXPECT_EQ(table.Group[i], 7) << cut;
      EXPECT_EQ(table.Flag[i], 1) << cut;
    }
  }
  // A number broken by a blank is found wherever the boundary falls.
  const std::string bad = "\r\n<start>\r\n" + Line("12 3", "Name", "", "1.50", "", "") + "\r\n";
  for (size_t cut = 0; cut < 20; ++cut) {
    ASSERT_FALSE(read(std::string(boundary - cut, 'h') + bad)) << cut;
    EXPECT_EQ(shown, Only(Error("Недопустимый код товара: '", "12 3\t", 3))) << cut;
  }
  // So are marker cells in quotes, and a quote that turns out to open none.
  const std::string quoted = "\r\n\"<a\r\n<start>\r\n" + line + "\r\n<x\"\r\n\"<end> x\r\ny\"\r\n" +
                             line + "\r\n\"<START> b\"\t\r\n" + line + "\r\n";
  for (size_t cut = 0; cut < 120; ++cut) {
    ASSERT_TRUE(read(std::string(boundary - cut, 'h') + quoted)) << cut;
    ASSERT_EQ(table.GoodsCount, 2) << cut;
    EXPECT_EQ(table.Line[1], 4) << cut;
    EXPECT_EQ(table.Line[2], 10) << cut;
  }
}

// ---------------------------------------------------------------------------------------
// Refused files

TEST_F(GoodsFileTest, InvalidPriceStopsAtFirstBadLine) {
  const std::string good = Line("1", "A", "", "1.00", "", "");
  ASSERT_FALSE(read(
      Block({good, Line("2", "B", "", "12.5 ", "", ""), Line("3", "C", "", "x", "", ""), good})));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "12.5 \t", 3)));
  EXPECT_EQ(table.GoodsCount, 0);  // nothing can be sent

  ASSERT_FALSE(read(Block({Line("1", "A", "", "21474836.48", "", "")})));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "21474836.48\t", 2)));
  ASSERT_FALSE(read(Block({Line("1", "A", "", "2147483648", "", "")}), true));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "2147483648\t", 2)));
}

TEST_F(GoodsFileTest, ExactMessageBytes) {
  EXPECT_EQ(Utf8ToCp1251("Недопустимая цена: '"),
            "\xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xE0\xFF \xF6\xE5\xED\xE0: '");
  ASSERT_FALSE(read(Block({Line("70000", "A", "", "1.00", "", "")})));
  ASSERT_EQ(shown.size(), 1U);
  EXPECT_EQ(shown[0].text,
            "\xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xE9 \xEA\xEE\xE4 "
            "\xF2\xEE\xE2\xE0\xF0\xE0: '70000\t' (\xF1\xF2\xF0\xEE\xEA\xE0 2 "
            "\xF4\xE0\xE9\xEB\xE0)");
  EXPECT_EQ(shown[0].style, 0x10U);
}

TEST_F(GoodsFileTest, FieldsTheRegisterCannotTake) {
  struct Case {
    std::string line;
    Shown message;
  };
  const std::string code = "Недопустимый код товара: '";
  const std::string group = "Недопустимый номер группы: '";
  const std::string barcode = "Недопустимый штрих-код: '";
  const std::string price = "Недопустимая цена: '";
  const Case cases[] = {
      {Line("65536", "A", "", "1.00", "", ""), Error(code, "65536\t", 3)},
      {Line("70000", "A", "", "1.00", "", ""), Error(code, "70000\t", 3)},
      {Line("-1", "A", "", "1.00", "", ""), Error(code, "-1\t", 3)},
      {Line("65535.5", "A", "", "1.00", "", ""), Error(code, "65535.5\t", 3)},
      {Line(" 99999999999999999999x", "A", "", "1.00", "", ""),
       Error(code, " 99999999999999999999x\t", 3)},
      {Line("1", "A", "", "1.00", "256", ""), Error(group, "256\t", 3)},
      {Line("1", "A", "", "1.00", "-1", ""), Error(group, "-1\t", 3)},
      {Line("1", "A", "", "1.00", "255.5", ""), Error(group, "255.5\t", 3)},
      {Line("1", "A", "", "1.00", "999999999999999999999e1", ""),
       Error(group, "999999999999999999999e1\t", 3)},
      {Line("1", "A", "-5", "1.00", "", ""), Error(barcode, "-5\t", 3)},
      {Line("1", "A", "460000000000123", "1.00", "", ""), Error(barcode, "460000000000123\t", 3)},
      {Line("1", "A", "  4600000000001", "1.00", "", ""), Error(barcode, "  4600000000001\t", 3)},
      {Line("1", "A", "99999999999999999999", "1.00", "", ""),
       Error(barcode, "99999999999999999999\t", 3)},
      {Line("1", "A", "1234567890123.5", "1.00", "", ""), Error(barcode, "1234567890123.5\t", 3)},
      // Checked in the order code, bar code, price, group.
      {Line("70000", "A", "-5", "x", "300", ""), Error(code, "70000\t", 3)},
      {Line("1", "A", "-5", "x", "300", ""), Error(barcode, "-5\t", 3)},
      {Line("1", "A", "", "x", "300", ""), Error(price, "x\t", 3)},
  };
  for (const Case& c : cases) {
    const std::string good = Line("1", "A", "", "1.00", "", "");
    // The first bad line stops the reading: the second bad line is never looked at.
    ASSERT_FALSE(read(Block({good, c.line, Line("99999", "", "", "", "999", "")}))) << c.line;
    EXPECT_EQ(shown, Only(c.message)) << c.line;
    EXPECT_EQ(table.GoodsCount, 0);
  }
}

// A code, group or bar code field with a digit in it holds one number and nothing else.
TEST_F(GoodsFileTest, OneNumberPerNumericField) {
  enum Which { kCode, kBarcode, kGroup };
  struct Case {
    Which which;
    std::string field;
    int64_t value;          // when accepted
    std::string utf8Error;  // the whole message when refused
  };
  const Case cases[] = {
      {kCode, "17", 17, ""},
      {kCode, "  17  ", 17, ""},
      {kCode, "+17", 17, ""},
      {kCode, "-0", 0, ""},
      {kCode, "17.0", 17, ""},
      {kCode, "17,00", 17, ""},
      {kCode, "17.", 17, ""},
      {kCode, ".0", 0, ""},
      {kCode, "-,000", 0, ""},
      {kCode, "00017.000000000000000000000000", 17, ""},
      {kCode, "65535.0", 65535, ""},
      // A code needs a digit; a bar code or group without one is 0.
      {kCode, "", 0, "Недопустимый код товара: '\t'"},
      {kCode, "abc", 0, "Недопустимый код товара: 'abc\t'"},
      {kCode, "-", 0, "Недопустимый код товара: '-\t'"},
      {kCode, "N/A", 0, "Недопустимый код товара: 'N/A\t'"},
      {kCode, "н/д", 0, "Недопустимый код товара: 'н/д\t'"},
      {kCode, "Итого позиций: 20", 0, "Недопустимый код товара: 'Итого позиций: 20\t'"},
      {kCode, "?", 0, "Недопустимый код товара: '?\t'"},
      // A character Windows-1251 lacks: full-width and Arabic-Indic digits in UTF-8, the
      // byte 0x98 in Windows-1251. Shown as "?", never read as no digit.
      {kCode, "１２", 0, "Недопустимый код товара: '??\t'"},
      {kCode, "\x98", 0, "Недопустимый код товара: '?\t'"},
      {kGroup, "٤", 0, "Недопустимый номер группы: '?\t'"},
      {kGroup, "?", 0, ""},
      {kBarcode, "４６０００", 0, "Недопустимый штрих-код: '?????\t'"},
      {kBarcode, "46\x98", 0, "Недопустимый штрих-код: '46?\t'"},
      {kBarcode, "?", 0, ""},
      {kCode, "1 234", 0, "Недопустимый код товара: '1 234\t'"},
      {kCode, "1.5", 0, "Недопустимый код товара: '1.5\t'"},
      {kCode, "1,5", 0, "Недопустимый код товара: '1,5\t'"},
      {kCode, "1.01", 0, "Недопустимый код товара: '1.01\t'"},
      {kCode, "12abc", 0, "Недопустимый код товара: '12abc\t'"},
      {kCode, "abc12", 0, "Недопустимый код товара: 'abc12\t'"},
      {kCode, "No 12", 0, "Недопустимый код товара: 'No 12\t'"},
      {kCode, "1e5", 0, "Недопустимый код товара: '1e5\t'"},
      {kCode, "0x1F", 0, "Недопустимый код товара: '0x1F\t'"},
      {kCode, "- 5", 0, "Недопустимый код товара: '- 5\t'"},
      {kCode, "+-5", 0, "Недопустимый код товара: '+-5\t'"},
      {kCode, "5-", 0, "Недопустимый код товара: '5-\t'"},
      {kCode, "1..0", 0, "Недопустимый код товара: '1..0\t'"},
      {kCode, "1.0.0", 0, "Недопустимый код товара: '1.0.0\t'"},
      {kCode, "1.0,0", 0, "Недопустимый код товара: '1.0,0\t'"},
      {kCode, "1 .0", 0, "Недопустимый код товара: '1 .0\t'"},
      {kCode, "17 x", 0, "Недопустимый код товара: '17 x\t'"},
      {kCode, "2.5e3", 0, "Недопустимый код товара: '2.5e3\t'"},
      {kGroup, "7", 7, ""},
      {kGroup, " 255,000 ", 255, ""},
      {kGroup, "x", 0, ""},
      {kGroup, "2 5", 0, "Недопустимый номер группы: '2 5\t'"},
      {kGroup, "1.5", 0, "Недопустимый номер группы: '1.5\t'"},
      {kGroup, "254,5", 0, "Недопустимый номер группы: '254,5\t'"},
      {kGroup, "7 (milk)", 0, "Недопустимый номер группы: '7 (milk)\t'"},
      {kBarcode, "4600000000017", 4600000000017, ""},
      {kBarcode, "4600000000017,0", 4600000000017, ""},  // 14 bytes stored: same number
      {kBarcode, "no code", 0, ""},
      // As printed under the bars: the register would get the first group only.
      {kBarcode, "4 600000 000017", 0, "Недопустимый штрих-код: '4 600000 000017\t'"},
      {kBarcode, "460-0000", 0, "Недопустимый штрих-код: '460-0000\t'"},
      {kBarcode, "46000000000x", 0, "Недопустимый штрих-код: '46000000000x\t'"},
      {kBarcode, "EAN 4600000000017", 0, "Недопустимый штрих-код: 'EAN 4600000000017\t'"},
      {kBarcode, "4600000000017.5", 0, "Недопустимый штрих-код: '4600000000017.5\t'"},
      // One number, but not all of it fits the 14 stored bytes.
      {kBarcode, "1.00000000000000", 1, ""},
      {kBarcode, "460000000000123", 0, "Недопустимый штрих-код: '460000000000123\t'"},
  };
  for (const Case& c : cases) {
    // Written as it stands: a field of Cyrillic or other letters makes a UTF-8 file.
    const std::string line = c.which == kCode      ? Line(c.field, "A", "", "1.00", "", "")
                             : c.which == kBarcode ? Line("1", "A", c.field, "1.00", "", "")
                                                   : Line("1", "A", "", "1.00", c.field, "");
    if (c.utf8Error.empty()) {
      ASSERT_TRUE(read(Block({line}))) << c.field;
      EXPECT_TRUE(shown.empty()) << c.field;
      ASSERT_EQ(table.GoodsCount, 1);
      const int64_t got = c.which == kCode      ? table.Code[1]
                          : c.which == kBarcode ? ParseNumber(table.Barcode[1]).value
                                                : table.Group[1];
      EXPECT_EQ(got, c.value) << c.field;
    } else {
      EXPECT_FALSE(read(Block({line}))) << c.field;
      EXPECT_EQ(shown, Only({Utf8ToCp1251(c.utf8Error) + AtLine(2), kIconError})) << c.field;
      EXPECT_EQ(table.GoodsCount, 0);
    }
  }
  // A no-break space is no blank.
  EXPECT_FALSE(read(Block({Line("17\xA0", "A", "", "1.00", "", "")})));
  EXPECT_EQ(shown, Only(Error("Недопустимый код товара: '", "17\xA0\t", 2)));
}

TEST_F(GoodsFileTest, FieldsAtTheRegistersLimits) {
  ASSERT_TRUE(read(
      Block({Line("65535", "A", "99999999999999", "1.00", "255", "1"),
             Line("-0", "A", "-0", "1.00", "-0.0", ""), Line("3", "A", "no code", "1.00", "x", ""),
             Line("4", "A", "00000000000007", "1.00", "2,0", ""),
             Line("65534.0", "A", "4600000000001.0", "1.00", "254.", "")})));
  EXPECT_TRUE(shown.empty());
  ASSERT_EQ(table.GoodsCount, 5);
  EXPECT_EQ(table.Code[1], 65535);
  EXPECT_EQ(table.Group[1], 255);
  EXPECT_EQ(table.Barcode[1], "99999999999999");
  EXPECT_EQ(table.Code[2], 0);
  EXPECT_EQ(table.Group[2], 0);
  EXPECT_EQ(table.Group[3], 0);  // no number is 0
  EXPECT_EQ(table.Barcode[3], "no code\t      ");
  EXPECT_EQ(table.Group[4], 2);
  EXPECT_EQ(table.Code[5], 65534);
  EXPECT_EQ(table.Group[5], 254);
  EXPECT_EQ(table.Barcode[5], "4600000000001.");  // still 4600000000001 once cut
}

TEST_F(GoodsFileTest, AtMost3000Goods) {
  std::string lines;
  for (int i = 1; i <= 3000; ++i)
    lines += Line(std::to_string(i), "A", "", "1.00", "", "") + "\r\n";
  ASSERT_TRUE(read("<start>\r\n" + lines));
  EXPECT_EQ(table.GoodsCount, 3000);
  EXPECT_EQ(table.Code[3000], 3000);

  // One more goods line anywhere refuses the whole file, even a bad one.
  for (const std::string& extra : {Line("3001", "A", "", "1.00", "", ""),
                                   Line("1", "A", "", "bad", "", ""), std::string("\t\tx")}) {
    ASSERT_FALSE(read("<start>\r\n" + lines + extra + "\r\n<end>\r\n"));
    EXPECT_EQ(shown,
              Only({Utf8ToCp1251("Слишком много товаров в файле (больше 3000)"), kIconError}));
    EXPECT_EQ(table.GoodsCount, 0);
  }
  // Marker lines, skipped lines and empty rows do not count.
  ASSERT_TRUE(read("<start>\r\n\r\n" + lines +
                   "\r\n\t\t\t\t\t\t\r\n \r\n<comment>\r\n\"<comment> x\"\t\r\n<end>\r\nnote\r\n"));
  EXPECT_EQ(table.GoodsCount, 3000);
}

// A workbook's rows as its sheet shows them: a formula whose value the file lacks refuses a
// goods row, a repeated row is as many rows, the sheet's name stays short and on one line, a
// line break in a cell is one blank, and the goods are on whichever sheet has the marker.
TEST_F(GoodsFileTest, WorkbookRowsAsTheSheetShowsThem) {
  const std::string start =
      "<row r=\"1\"><c t=\"inlineStr\"><is><t>&lt;start&gt;</t></is></c></row>";
  // A lone surrogate escaped in a name is one character that Windows-1251 lacks.
  const std::string goods =
      "<c><v>101</v></c><c t=\"inlineStr\"><is><t>Хлеб_xD800_!</t></is></c><c/>";
  const std::string formulaMissing =
      "Значение формулы не сохранено. Откройте книгу в таблице и сохраните её (строка 2 листа ";
  const std::string ods =
      "<table:table table:name=\"Прайс\"><table:table-row>"
      "<table:table-cell office:value-type=\"string\"><text:p>&lt;start&gt;"
      "</text:p></table:table-cell></table:table-row><table:table-row "
      "table:number-rows-repeated=\"";
  const std::string odsGoods =
      "\"><table:table-cell office:value-type=\"float\" office:value=\"7\"/>"
      "<table:table-cell table:number-columns-repeated=\"2\"/>"
      "<table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
      "</table:table-row></table:table>";
  const struct {
    const char* what;
    std::string bytes;
    int32_t count;             // -1: refused with message
    std::string message = "";  // else the last item's row, and the first item's name
    int64_t lastRow = 0;
    std::string firstName = "";
  } cases[] = {
      {"a price computed on opening",
       XlsxBytes(start + "<row r=\"2\">" + goods + "<c><f>ROUND(2*1.2,2)</f><v>0</v></c></row>", "",
                 "", "<calcPr fullCalcOnLoad=\"true\"/>"),
       -1, formulaMissing + "«Прайс»)"},
      {"a code never computed",
       XlsxBytes(start + "<row r=\"2\"><c><f>ROW()+100</f></c><c/><c/><c><v>1.5</v></c></row>", ""),
       -1, formulaMissing + "«Прайс»)"},
      {"a formula outside the blocks",
       XlsxBytes("<row><c><f>TODAY()</f></c></row>" + std::string(start).replace(5, 5, "r=\"2\"") +
                     "<row r=\"3\">" + goods + "<c><v>1.5</v></c></row>",
                 ""),
       1, "", 3, "Хлеб?!\t"},
      {"a long sheet name on two lines",
       XlsxBytes(
           start + "<row r=\"2\"><c><f>1</f></c></row>", "",
           "<sheet name=\"Прайс-лист&#13;&#10;магазина на Садовой улице, дом 5\" r:id=\"rId1\"/>"),
       -1, formulaMissing + "«Прайс-лист  магазина на Садово…»)"},
      {"a goods row repeated", OdsBytes(ods + "3" + odsGoods), 3, "", 4},
      {"goods on the sheet after one without a marker",
       OdsBytes("<table:table table:name=\"Заметки\"><table:table-row><table:table-cell "
                "office:value-type=\"float\" office:value=\"5\"/></table:table-row></table:table>" +
                ods + "1" + odsGoods),
       1, "", 2},
      {"a line break of CR LF in a cell",
       XlsxBytes(start + "<row r=\"2\"><c><v>5</v></c><c t=\"inlineStr\"><is><t>Хлеб&#13;&#10;"
                         "белый</t></is></c><c/><c><v>1</v></c></row>",
                 ""),
       1, "", 2, "Хлеб белый\t"},
      {"a goods row repeated beyond the table", OdsBytes(ods + "1000000000" + odsGoods), -1,
       "Слишком много товаров в файле (больше 3000)"},
  };
  for (const auto& c : cases) {
    const bool loaded = read(c.bytes);
    EXPECT_EQ(loaded, c.count >= 0) << c.what;
    if (c.count >= 0) {
      EXPECT_EQ(table.GoodsCount, c.count) << c.what;
      EXPECT_EQ(table.Line[table.GoodsCount], c.lastRow) << c.what;
      if (!c.firstName.empty()) {
        EXPECT_EQ(table.Name[1], Name(Utf8ToCp1251(c.firstName))) << c.what;
      }
    } else {
      EXPECT_EQ(shown, Only({Utf8ToCp1251(c.message), kIconError})) << c.what;
    }
  }
  // A workbook file over 64 MiB is refused by its size; one of 64 MiB is read, and found
  // damaged. Sparse: an archive's first bytes, then zeros.
  const std::string big = write("PK\x03\x04", "big.xlsx");
  const uintmax_t limit = uintmax_t{64} << 20;
  for (const uintmax_t size : {limit, limit + 1}) {
    std::filesystem::resize_file(big, size);
    EXPECT_FALSE(readFile(big)) << size;
    const char* refusal =
        size > limit ? "Книга слишком велика или повреждена: " : "Книга повреждена и не читается: ";
    EXPECT_EQ(shown, Only({Utf8ToCp1251(refusal) + big, kIconError})) << size;
  }
}

TEST_F(GoodsFileTest, FileThatCannotBeOpened) {
  const std::string missing = (dir_ / "no such file.txt").string();
  EXPECT_FALSE(readFile(missing));
  EXPECT_EQ(shown, Only({Utf8ToCp1251("Не могу открыть файл: ") + missing, kIconError}));
  EXPECT_EQ(table.GoodsCount, 0);

  const std::string folder = (dir_ / "folder").string();
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(readFile(folder));
  EXPECT_EQ(shown, Only({Utf8ToCp1251("Не могу открыть файл: ") + folder, kIconError}));

  EXPECT_FALSE(readFile(""));
  EXPECT_EQ(shown, Only({Utf8ToCp1251("Не могу открыть файл: "), kIconError}));

  // A NUL byte must not open the file named by the bytes before it.
  const std::string real = write(Block({}), "real.txt");
  EXPECT_FALSE(readFile(real + std::string(1, '\0') + "x"));
  EXPECT_EQ(shown.size(), 1U);
}

#ifndef _WIN32
TEST_F(GoodsFileTest, ReadErrorIsNotTheEndOfTheFile) {
  // Reading this process's memory from offset 0 opens but fails at once (EIO).
  EXPECT_FALSE(readFile("/proc/self/mem"));
  EXPECT_EQ(shown, Only({Utf8ToCp1251("Не могу открыть файл: /proc/self/mem"), kIconError}));
  EXPECT_EQ(table.GoodsCount, 0);
}
#endif

TEST_F(GoodsFileTest, LongLinesReadOnce) {
  const std::string huge(2 * 1024 * 1024, 'x');
  const std::string digits(2 * 1024 * 1024, '0');
  const std::string file =
      huge + "\r\n<start>" + huge + "\r\n" +           // header, marker
      Line("1", huge, "", "1.00", "", "") + "\r\n" +   // long name
      Line("2", "B", "", "2.00", "", huge) + "\r\n" +  // long flag
      Line("3", "C", "", "3.00", "", "") + huge + "\t" + huge + "\r\n" +
      Line(digits + "4", "D", "46", digits + "4.00", digits + "1", digits + "1") + "\r\n" +
      "<end>" + huge + "\r\n";
  ASSERT_TRUE(read(file));
  ASSERT_EQ(table.GoodsCount, 4);
  EXPECT_EQ(table.Name[1], std::string(24, 'x'));
  EXPECT_EQ(table.Flag[2], 0);
  EXPECT_EQ(table.Code[3], 3);
  EXPECT_EQ(table.Code[4], 4);
  EXPECT_EQ(table.Barcode[4], Barcode("46\t"));
  EXPECT_EQ(table.Price[4], 400);
  EXPECT_EQ(table.Group[4], 1);
  EXPECT_EQ(table.Flag[4], 1);
  // A quote that opens a field and is not closed within 64 KiB opened no cell.
  ASSERT_FALSE(read(Block({"5\t\"a\t" + huge + "\"\t\t1.00"})));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "\t", 2)));
  // A long line without TABs inside a block is a goods line without a code.
  ASSERT_FALSE(read("<start>\r\n" + huge + "\r\n", true));
  EXPECT_EQ(shown, Only(Error("Недопустимый код товара: '", huge.substr(0, 100) + "...", 2)));
}

// A message quotes at most the first 100 bytes of its field (the TAB counts), then "...".
TEST_F(GoodsFileTest, MessageQuotesAtMost100Bytes) {
  const struct {
    int field;  // 0 code, 2 bar code, 3 price, 4 group
    const char* utf8Lead;
  } kinds[] = {{0, "Недопустимый код товара: '"},
               {2, "Недопустимый штрих-код: '"},
               {3, "Недопустимая цена: '"},
               {4, "Недопустимый номер группы: '"}};
  // A field that no rule takes: a digit, blanks, and a letter at its end.
  const auto bad = [](size_t length) { return "1" + std::string(length - 2, ' ') + "x"; };
  const std::string x100 = "1" + std::string(99, ' ');
  const struct {
    std::string field;  // as written, without a TAB after it
    bool tab;           // the TAB follows
    std::string quote;  // what the message quotes
  } cases[] = {
      {bad(99), true, bad(99) + "\t"},  // 100 bytes with the TAB: whole
      {bad(100), true, bad(100) + "..."},
      {bad(100), false, bad(100)},  // at the line end: 100 bytes, whole
      {bad(101), false, bad(101).substr(0, 100) + "..."},
      {bad(2 * 1024 * 1024), true, x100 + "..."},
  };
  for (const auto& k : kinds) {
    for (const auto& c : cases) {
      std::vector<std::string> fields = {"1", "A", "", "1.00", "", ""};
      fields[static_cast<size_t>(k.field)] = c.field;
      std::string line;
      for (size_t i = 0; i <= static_cast<size_t>(k.field); ++i) {
        line += fields[i];
        if (i < static_cast<size_t>(k.field) || c.tab) line += '\t';
      }
      ASSERT_FALSE(read(Block({line}))) << k.utf8Lead << c.field.size();
      EXPECT_EQ(shown, Only(Error(k.utf8Lead, c.quote, 2))) << k.utf8Lead << c.field.size();
    }
  }
  // Blanks are kept in the quote as they were: the price rule ignores them, the quote not.
  const std::string price = std::string(2 * 1024 * 1024, ' ') + "1.0";
  ASSERT_FALSE(read(Block({Line("1", "A", "", price, "", "")})));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", std::string(100, ' ') + "...", 2)));
}

// ---------------------------------------------------------------------------------------
// The example goods file

std::string ExampleFile() {
  std::string name = GOODS_EXAMPLE_FILE;
#ifdef _WIN32
  // Built on Linux for Wine: the source tree is reached through the drive that maps "/".
  if (!name.empty() && name[0] == '/') name = "Z:" + name;
#endif
  return name;
}

TEST_F(GoodsFileTest, ExampleFileLoads) {
  ASSERT_TRUE(readFile(ExampleFile()));
  EXPECT_TRUE(shown.empty());
  ASSERT_EQ(table.GoodsCount, 37);
  EXPECT_EQ(table.Code[1], 101);
  EXPECT_EQ(table.Name[1], Utf8ToCp1251("Хлеб Бородинский 400г") + "\t" + std::string(2, ' '));
  EXPECT_EQ(table.Barcode[1], "4607001001010\t");
  EXPECT_EQ(table.Price[1], 4290);
  EXPECT_EQ(table.Group[1], 1);
  EXPECT_EQ(table.Flag[1], 0);
  EXPECT_EQ(table.Name[24], Name("Coca-Cola 0,5\xEB\t"));
  EXPECT_EQ(table.Price[24], 8990);
  EXPECT_EQ(table.Code[37], 902);
  EXPECT_EQ(table.Name[37], Name(Utf8ToCp1251("Пакет-майка") + "\t"));
  EXPECT_EQ(table.Barcode[37], Barcode("\t"));
  EXPECT_EQ(table.Price[37], 300);
  EXPECT_EQ(table.Group[37], 9);
  for (int32_t i = 1; i <= table.GoodsCount; ++i) {
    EXPECT_EQ(table.Name[i].size(), kNameWidth);
    EXPECT_EQ(table.Barcode[i].size(), kBarcodeWidth);
    EXPECT_GT(table.Price[i], 0);
  }
  // In whole-units mode its prices with kopecks are invalid.
  ASSERT_FALSE(readFile(ExampleFile(), true));
  EXPECT_EQ(shown, Only(Error("Недопустимая цена: '", "42.90\t", 4)));
}

}  // namespace
