// Goods files in UTF-8 and UTF-16 read as the same file in Windows-1251 would be.
#include "goods/goods_encoding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "goods/goods_file.h"
#include "tests/encoded_text.h"
#include "tests/workbook_bytes.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct Result {
  bool ok = false;
  GoodsTable table;
  std::vector<std::string> shown;
};

Result ReadBytes(const std::string& bytes, size_t pieceSize, bool wholeUnits = false) {
  Result r;
  MemorySource source(bytes, pieceSize);
  r.ok = ReadGoodsFrom(source, "goods.txt", wholeUnits, r.table,
                       [&](const std::string& text, uint32_t) { r.shown.push_back(text); });
  return r;
}

// The same goods, field for field.
void ExpectSameTable(const GoodsTable& got, const GoodsTable& want, const std::string& what) {
  ASSERT_EQ(got.GoodsCount, want.GoodsCount) << what;
  for (int32_t i = 1; i <= want.GoodsCount; ++i) {
    EXPECT_EQ(got.Code[i], want.Code[i]) << what << " item " << i;
    EXPECT_EQ(got.Name[i], want.Name[i]) << what << " item " << i;
    EXPECT_EQ(got.Barcode[i], want.Barcode[i]) << what << " item " << i;
    EXPECT_EQ(got.Price[i], want.Price[i]) << what << " item " << i;
    EXPECT_EQ(got.Group[i], want.Group[i]) << what << " item " << i;
    EXPECT_EQ(got.Flag[i], want.Flag[i]) << what << " item " << i;
  }
}

std::string ExampleBytes() {
  std::ifstream in(GOODS_EXAMPLE_FILE, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct Encoded {
  const char* what;
  std::string bytes;
};

// A text in each encoding the reader knows, marked and unmarked where that is told apart.
std::vector<Encoded> EveryEncoding(const std::string& windows1251) {
  return {
      {"Windows-1251", windows1251},
      {"UTF-8", Cp1251ToUtf8(windows1251)},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + Cp1251ToUtf8(windows1251)},
      {"UTF-16 LE", "\xFF\xFE" + Utf16Bytes(windows1251, true)},
      {"UTF-16 BE", "\xFE\xFF" + Utf16Bytes(windows1251, false)},
  };
}

constexpr size_t kPieceSizes[] = {1, 2, 7, 64 * 1024};

TEST(GoodsEncodings, ShopFileReadsAlikeInEveryEncodingAndPieces) {
  const std::string example = ExampleBytes();
  ASSERT_GT(example.size(), 1000u);
  const Result reference = ReadBytes(example, 64 * 1024);
  ASSERT_TRUE(reference.ok);
  ASSERT_EQ(reference.table.GoodsCount, 37);
  for (const Encoded& e : EveryEncoding(example)) {
    for (const size_t piece : kPieceSizes) {
      const std::string what = std::string(e.what) + " in pieces of " + std::to_string(piece);
      const Result r = ReadBytes(e.bytes, piece);
      EXPECT_TRUE(r.ok) << what;
      EXPECT_TRUE(r.shown.empty()) << what;
      ExpectSameTable(r.table, reference.table, what);
    }
  }
}

TEST(GoodsEncodings, MessagesQuoteTheFieldInWindows1251) {
  const std::string file = Utf8ToCp1251(
      "<start>\r\n1\tМолоко\t\t89.90\t1\t0\t\r\n2\tСыр «Ламбер»\t\t12,5 руб\t1\t0\t\r\n<end>\r\n");
  const std::string expected = Utf8ToCp1251("Недопустимая цена: '12,5 руб\t' (строка 3 файла)");
  for (const Encoded& e : EveryEncoding(file)) {
    for (const size_t piece : kPieceSizes) {
      const Result r = ReadBytes(e.bytes, piece);
      EXPECT_FALSE(r.ok) << e.what;
      EXPECT_EQ(r.table.GoodsCount, 0) << e.what;
      EXPECT_EQ(r.shown, std::vector<std::string>{expected}) << e.what << " " << piece;
    }
  }
}

TEST(GoodsEncodings, NamesAfterConversion) {
  const struct {
    const char* what;
    std::string file;
    std::string name;  // Name column, Windows-1251
  } cases[] = {
      // 23 letters of two UTF-8 bytes each fit with their TAB.
      {"23 Cyrillic letters in UTF-8",
       "<start>\r\n1\t\xD0\x90\xD0\x91\xD0\x92\xD0\x93\xD0\x94\xD0\x95\xD0\x96\xD0\x97\xD0\x98"
       "\xD0\x99\xD0\x9A\xD0\x9B\xD0\x9C\xD0\x9D\xD0\x9E\xD0\x9F\xD0\xA0\xD0\xA1\xD0\xA2\xD0\xA3"
       "\xD0\xA4\xD0\xA5\xD0\xA6\t\t1.00\t\t\t\r\n",
       "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1\xD2\xD3\xD4\xD5"
       "\xD6\t"},
      // Characters Windows-1251 lacks: a star and a face beyond U+FFFF.
      {"outside Windows-1251, UTF-8",
       "\xEF\xBB\xBF<start>\r\n1\t\xD0\xA7\xD0\xB0\xD0\xB9 \xE2\x98\x85 \xF0\x9F\x98\x80\t\t1.00\t"
       "\t\t\r\n",
       "\xD7\xE0\xE9 ? ?\t"},
      {"outside Windows-1251, UTF-16",
       std::string("\xFF\xFE<\0s\0t\0a\0r\0t\0>\0\n\0"
                   "1\0\t\0\x27\x04\x05\x26\x3D\xD8\x00\xDE"
                   "\t\0\t\0"
                   "1\0.\0"
                   "0\0"
                   "0\0\t\0",
                   44),
       "\xD7??\t"},
      // An invalid sequence after a mark is one '?'.
      {"invalid UTF-8 after the mark",
       "\xEF\xBB\xBF<start>\r\n1\t" + Repeat("\xD0\xA7", 19) + "\xD0 B\xFF\t\t1.00\t\t\t\r\n",
       Repeat("\xD7", 19) + "? B?\t"},
      // A mark before text that is no UTF-8 (a marked header joined to a Windows-1251
      // export): Windows-1251, the mark dropped.
      {"Windows-1251 after a UTF-8 mark",
       "\xEF\xBB\xBF<start>\r\n1\t\xD5\xEB\xE5\xE1\t\t1.00\t\t\t\r\n", "\xD5\xEB\xE5\xE1\t"},
      // Without a mark, a file whose valid UTF-8 sequences do not outnumber its invalid
      // bytes ten to one stays Windows-1251, byte for byte.
      {"UTF-8 and Windows-1251 mixed",
       "<start>\r\n1\t\xD0\xA7\t\t1.00\t\t\t\r\n2\t\xD7\t\t1.00\t\t\t\r\n", "\xD0\xA7\t"},
      {"ASCII only", "<start>\r\n1\tTea\t\t1.00\t\t\t\r\n", "Tea\t"},
      // Ten valid letters to one stray byte: UTF-8, the stray byte a '?'.
      {"UTF-8 with one stray byte",
       "<start>\r\n1\t" + Repeat("\xD0\xA7", 10) + "\t\t1.00\t\t\t\r\n<end>\xA0",
       Repeat("\xD7", 10) + "\t"},
      {"UTF-8 with a name cut mid-letter",
       "<start>\r\n1\t" + Repeat("\xD0\xA7", 10) + "\xD0\t\t1.00\t\t\t\r\n",
       Repeat("\xD7", 10) + "?\t"},
      {"nine letters to one stray byte",
       "<start>\r\n1\t" + Repeat("\xD0\xA7", 9) + "\xFF\t\t1.00\t\t\t\r\n",
       Repeat("\xD0\xA7", 9) + "\xFF\t"},
      // A cell over a line break, and a quote that opens no cell, in pieces of any size.
      {"a cell", "<start>\r\n1\t\"\xD0\xA7\r\n\xD0\xA7\tC\"\t\t1.00\r\n", "\xD7 \xD7 C\t"},
      {"no cell", "<start>\r\n1\t\"\xD0\xA7\tx\t1.00\r\n", "\"\xD7\t"},
      // Valid UTF-8 up to the end-of-file byte; what follows it does not count.
      {"UTF-8 up to 0x1A", "<start>\r\n1\t\xD0\xA7\t\t1.00\t\t\t\r\n\x1A\xFF\xFE", "\xD7\t"},
  };
  for (const auto& c : cases) {
    for (const size_t piece : kPieceSizes) {
      const Result r = ReadBytes(c.file, piece, false);
      ASSERT_TRUE(r.ok) << c.what;
      ASSERT_GE(r.table.GoodsCount, 1) << c.what;
      std::string name = c.name;
      name.resize(kNameWidth, ' ');
      EXPECT_EQ(r.table.Name[1], name) << c.what << " in pieces of " << piece;
    }
  }
}

TEST(GoodsEncodings, EndOfFileUnitInUtf16) {
  // U+001A ends the file; U+041A (its low byte 1A) is the letter К and does not.
  const std::string file =
      Utf8ToCp1251("<start>\r\n1\tКот\t\t1.00\t\t\t\r\n\x1A\r\n2\tПёс\t\t1.00\t\t\t\r\n");
  for (const bool littleEndian : {true, false}) {
    const Result r =
        ReadBytes((littleEndian ? "\xFF\xFE" : "\xFE\xFF") + Utf16Bytes(file, littleEndian), 7);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.table.GoodsCount, 1);
    EXPECT_EQ(r.table.Name[1].substr(0, 4), "\xCA\xEE\xF2\t");
  }
}

// A source whose reads fail after a number of bytes.
class BreakingSource final : public ByteSource {
 public:
  BreakingSource(std::string bytes, size_t failAt) : bytes_(std::move(bytes)), failAt_(failAt) {}
  int64_t read(char* buffer, size_t size) override {
    if (position_ >= failAt_) return -1;
    const size_t count = std::min({size, bytes_.size() - position_, failAt_ - position_});
    bytes_.copy(buffer, count, position_);
    position_ += count;
    return static_cast<int64_t>(count);
  }
  bool rewind() override {
    position_ = 0;
    return rewinds_-- > 0;
  }
  int64_t size() override { return static_cast<int64_t>(bytes_.size()); }
  bool seek(uint64_t offset) override {
    position_ = static_cast<size_t>(std::min<uint64_t>(offset, bytes_.size()));
    return true;
  }
  int rewinds_ = 1;

 private:
  std::string bytes_;
  size_t failAt_;
  size_t position_ = 0;
};

TEST(GoodsEncodings, ReadErrorWhileTellingTheEncoding) {
  const std::string file = "<start>\r\n1\t\xD0\xA7\t\t1.00\t\t\t\r\n";
  const std::string message = Utf8ToCp1251("Не могу открыть файл: goods.txt");
  {
    BreakingSource source(file, 10);  // during the check for UTF-8
    GoodsTable table;
    std::vector<std::string> shown;
    EXPECT_FALSE(ReadGoodsFrom(source, "goods.txt", false, table,
                               [&](const std::string& text, uint32_t) { shown.push_back(text); }));
    EXPECT_EQ(shown, std::vector<std::string>{message});
  }
  {
    BreakingSource source(file, 1000);
    source.rewinds_ = 0;  // the file cannot be read from its start again
    GoodsTable table;
    std::vector<std::string> shown;
    EXPECT_FALSE(ReadGoodsFrom(source, "goods.txt", false, table,
                               [&](const std::string& text, uint32_t) { shown.push_back(text); }));
    EXPECT_EQ(shown, std::vector<std::string>{message});
    EXPECT_EQ(table.GoodsCount, 0);
  }
  {
    // A workbook is read where it lies: a read error in it is no damage of the workbook.
    const std::string workbook = XlsxBytes(
        "<row><c t=\"inlineStr\"><is><t>&lt;start&gt;</t></is></c></row>" + std::string(4000, ' '),
        "");
    BreakingSource source(workbook, workbook.size() - 100);
    GoodsTable table;
    std::vector<std::string> shown;
    EXPECT_FALSE(ReadGoodsFrom(source, "goods.txt", false, table,
                               [&](const std::string& text, uint32_t) { shown.push_back(text); }));
    EXPECT_EQ(shown, std::vector<std::string>{message});
  }
}

TEST(DetectGoodsEncoding, DecidesAndRewinds) {
  const struct {
    std::string bytes;
    TextEncoding encoding;
    size_t markLength;
  } cases[] = {
      {"\xEF\xBB\xBF", TextEncoding::Utf8, 3},
      {"\xEF\xBB\xBF\xD0\xA7", TextEncoding::Utf8, 3},
      // A UTF-8 mark is weighed with the text after it.
      {"\xEF\xBB\xBF\xD7", TextEncoding::Windows1251, 3},
      {"\xEF\xBB\xBF" + Repeat("\xD0\xA7", 9) + "\xA0", TextEncoding::Utf8, 3},
      {"\xEF\xBB\xBF" + Repeat("\xD0\xA7", 8) + "\xA0", TextEncoding::Windows1251, 3},
      {"\xFF\xFE<\0", TextEncoding::Utf16LittleEndian, 2},
      {"\xFE\xFF", TextEncoding::Utf16BigEndian, 2},
      {"\xFF\xFE\xD0\xA7", TextEncoding::Utf16LittleEndian, 2},
      {"\xD0\xA7", TextEncoding::Utf8, 0},
      {"abc\r\n\xD0\xA7", TextEncoding::Utf8, 0},
      {"abc", TextEncoding::Windows1251, 0},
      {"", TextEncoding::Windows1251, 0},
      {"\xD7", TextEncoding::Windows1251, 0},
      {"\xD0", TextEncoding::Windows1251, 0},  // cut short at the end
      {"\xEF\xBB", TextEncoding::Windows1251, 0},
      {"\xD0\xA7\x1A\xFF", TextEncoding::Utf8, 0},
      {"ab\x1A\xD0\xA7", TextEncoding::Windows1251, 0},  // nothing above 0x7F before 0x1A
      // Valid sequences against invalid bytes: ten to one is UTF-8, nine to one is not.
      {Repeat("\xD0\xA7", 10) + "\xA0", TextEncoding::Utf8, 0},
      {"\xA0" + Repeat("\xE2\x84\x96", 20) + "\xD0", TextEncoding::Utf8, 0},
      {Repeat("\xD0\xA7", 9) + "\xA0", TextEncoding::Windows1251, 0},
      {Repeat("\xD0\xA7", 19) + "\xA0\xD7", TextEncoding::Windows1251, 0},
  };
  for (const auto& c : cases) {
    for (const size_t piece : kPieceSizes) {
      MemorySource source(c.bytes, piece);
      ByteOrderMark found;
      ASSERT_TRUE(DetectGoodsEncoding(source, found));
      EXPECT_EQ(found.encoding, c.encoding) << c.bytes << " in pieces of " << piece;
      EXPECT_EQ(found.length, c.markLength) << c.bytes;
      // Back at the first byte.
      char first = 0;
      EXPECT_EQ(source.read(&first, 1), c.bytes.empty() ? 0 : 1);
      if (!c.bytes.empty()) {
        EXPECT_EQ(first, c.bytes[0]);
      }
    }
  }
}

}  // namespace
