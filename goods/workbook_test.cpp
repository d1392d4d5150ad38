#include "goods/workbook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "goods/zip_archive.h"
#include "tests/workbook_bytes.h"

namespace {

// Writes down what the reader hands on: "[sheet]" and each row as "number: cells", a number
// cell as #value, a text as 'text'.
class RowLog final : public SheetRows {
 public:
  void beginSheet(std::string_view name) override { log += "[" + std::string(name) + "]\n"; }
  bool row(int64_t number, const SheetCell (&cells)[kSheetColumns]) override {
    log += std::to_string(number) + ":";
    for (const SheetCell& cell : cells) {
      log += cell.kind == SheetCell::kNumber ? " #" + cell.value
             : cell.kind == SheetCell::kText ? " '" + cell.value + "'"
                                             : " -";
    }
    log += "\n";
    return number != stopAt;
  }
  bool endSheet() override { return true; }

  std::string log;
  int64_t stopAt = -1;
};

TEST(Workbook, CellsAsTheSheetHoldsThem) {
  const struct {
    const char* what;
    std::string bytes;
    const char* rows;
  } cases[] = {
      {"xlsx",
       XlsxBytes("<row r=\"3\"><c r=\"A3\" t=\"s\"><v>0</v></c><c r=\"B3\" t=\"s\"><v>1</v></c>"
                 "<c r=\"C3\" t=\"s\"><v>2</v></c><c r=\"D3\"><v>89.9</v></c>"
                 "<c r=\"F3\" t=\"b\"><v>1</v></c><c r=\"G3\"><v>7</v></c></row>"
                 "<row><c t=\"inlineStr\"><is><t>0102</t></is></c><c t=\"str\"><f>A1</f>"
                 "<v>x_x000D_</v></c><c><v>4607001001010</v></c></row>",
                 "<si><t>&lt;start&gt;</t></si><si><r><t>Хлеб </t></r><r><t>белый</t></r>"
                 "<rPh><t>ハ</t></rPh></si>"
                 "<si><t>a_x000D_b_x005F_x0041__xD83D__xDE00_</t></si>"),  // escapes
       "[Прайс]\n3: '<start>' 'Хлеб белый' 'a\rb_x0041_😀' #89.9 - #1\n"
       "4: '0102' 'x\r' #4607001001010 - - -\n"},
      {"ods",
       OdsBytes(
           "<table:table table:name=\"Товары\"><table:table-row table:number-rows-repeated=\"2\">"
           "<table:table-cell/></table:table-row><table:table-row>"
           "<table:table-cell table:number-columns-repeated=\"2\" office:value-type=\"float\" "
           "office:value=\"42.9\"/><table:covered-table-cell/>"
           "<table:table-cell office:value-type=\"string\"><text:p>a<text:s text:c=\"2\"/>b"
           "</text:p><text:p>c<text:tab/>d</text:p><office:annotation><text:p>note</text:p>"
           "</office:annotation></table:table-cell><table:table-cell office:value-type=\"boolean\" "
           "office:boolean-value=\"true\"/><table:table-cell office:value-type=\"string\">"
           "<text:p>F</text:p></table:table-cell></table:table-row>"
           "<table:table-row table:number-rows-repeated=\"3\"><table:table-cell "
           "office:value-type=\"string\"><text:p>r</text:p></table:table-cell></table:table-row>"
           "</table:table><table:table table:name=\"Ещё\"/>"),
       "[Товары]\n3: #42.9 #42.9 - 'a  b\nc\td' #1 'F'\n4: 'r' - - - - -\n5: 'r' - - - - -\n"
       "6: 'r' - - - - -\n"},
  };
  for (const auto& c : cases) {
    RowLog rows;
    EXPECT_EQ(ReadWorkbook(c.bytes, rows), WorkbookStatus::kRead) << c.what;
    EXPECT_EQ(rows.log, c.rows) << c.what;
  }
}

TEST(Workbook, StopsWhereTheRowsAskIt) {
  RowLog rows;
  rows.stopAt = 1;
  const std::string row =
      "<table:table-row><table:table-cell office:value-type=\"string\">"
      "<text:p>x</text:p></table:table-cell></table:table-row>";
  EXPECT_EQ(ReadWorkbook(OdsBytes("<table:table>" + row + row + "</table:table>"), rows),
            WorkbookStatus::kStopped);
  EXPECT_EQ(rows.log, "[]\n1: 'x' - - - - -\n");
}

// Archives a workbook must not be, or must not be read into memory as: refused whole.
TEST(Workbook, HostileAndBrokenArchives) {
  std::vector<ZipEntry> many(kZipEntryLimit + 1, {"x", "y"});
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<office:document-content>&c;</office:document-content>";
  std::string nested;
  for (int i = 0; i < 300; ++i) nested += "<x>";
  const struct {
    const char* what;
    std::string bytes;
    WorkbookStatus status;
  } cases[] = {
      {"no zip", "PK\x03\x04 broken", WorkbookStatus::kDamaged},
      {"zip of something else", StoredZip({{"readme.txt", "hi"}}), WorkbookStatus::kNotWorkbook},
      {"other OpenDocument", StoredZip({{"mimetype", "application/vnd.oasis.opendocument.text"}}),
       WorkbookStatus::kNotWorkbook},
      {"entity declarations",
       StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                  {"content.xml", laughs}}),
       WorkbookStatus::kDamaged},
      {"nesting", OdsBytes("<table:table>" + nested + "</table:table>"), WorkbookStatus::kDamaged},
      {"a part declared over the limit",
       OdsBytes("", {{"META-INF/manifest.xml", "<m/>", static_cast<uint32_t>(kZipPartLimit + 1)}}),
       WorkbookStatus::kTooLarge},
      {"a part holding more than declared",
       OdsBytes("", {{"META-INF/manifest.xml", "<manifest/>", 4}}), WorkbookStatus::kDamaged},
      {"too many entries", StoredZip(many), WorkbookStatus::kTooLarge},
      {"an encrypted entry", OdsBytes("", {{"META-INF/manifest.xml", "<m/>", UINT32_MAX, 1}}),
       WorkbookStatus::kEncrypted},
      {"a password", OdsBytes("", {{"META-INF/manifest.xml", "<m><encryption-data/></m>"}}),
       WorkbookStatus::kEncrypted},
      {"a cell over 64 KiB",
       OdsBytes("<table:table><table:table-row><table:table-cell office:value-type=\"string\">"
                "<text:p>" +
                std::string(64 * 1024 + 1, 'x') + "</text:p></table:table-cell></table:table-row>" +
                "</table:table>"),
       WorkbookStatus::kTooLarge},
      {"a shared text that is not there", XlsxBytes("<row><c t=\"s\"><v>1</v></c></row>", "<si/>"),
       WorkbookStatus::kDamaged},
  };
  for (const auto& c : cases) {
    RowLog rows;
    EXPECT_EQ(ReadWorkbook(c.bytes, rows), c.status) << c.what;
  }
}

TEST(Workbook, FileKinds) {
  EXPECT_EQ(FileKindOf("PK\x03\x04"), FileKind::kZip);
  EXPECT_EQ(FileKindOf("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), FileKind::kCompound);
  EXPECT_EQ(FileKindOf("<start>\r\n"), FileKind::kOther);
  EXPECT_TRUE(
      IsEncryptedPackage(std::string("..E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 34)));
  EXPECT_FALSE(IsEncryptedPackage("EncryptedPackage"));
}

}  // namespace
