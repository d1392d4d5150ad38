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
  bool row(int64_t number, int64_t repeat, const SheetCell (&cells)[kSheetColumns]) override {
    log += std::to_string(number) + (repeat > 1 ? "x" + std::to_string(repeat) : "") + ":";
    for (const SheetCell& cell : cells) {
      log += cell.kind == SheetCell::kNumber    ? " #" + cell.value
             : cell.kind == SheetCell::kText    ? " '" + cell.value + "'"
             : cell.kind == SheetCell::kNoValue ? " ?"
                                                : " -";
    }
    log += "\n";
    return number != stopAt;
  }
  bool endSheet() override { return lastSheet; }

  std::string log;
  int64_t stopAt = -1;
  bool lastSheet = true;
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
       "[Товары]\n3: #42.9 #42.9 - 'a  b\nc\td' #1 'F'\n4x3: 'r' - - - - -\n"},
      // A hidden sheet before the visible one (both naming the one part here) is not read.
      {"xlsx hidden sheets",
       XlsxBytes("<row><c><v>1</v></c></row>", "",
                 "<sheet name=\"Старый\" state=\"hidden\" r:id=\"rId1\"/>"
                 "<sheet name=\"Макрос\" state=\"veryHidden\" r:id=\"rId1\"/>"
                 "<sheet name=\"Прайс\" state=\"visible\" r:id=\"rId1\"/>"),
       "[Прайс]\n1: #1 - - - - -\n"},
      {"ods hidden sheet",
       OdsBytes("<office:automatic-styles "
                "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\">"
                "<style:style style:name=\"ta2\" style:family=\"table\">"
                "<style:table-properties table:display=\"false\"/></style:style>"
                "<style:style style:name=\"ta1\" style:family=\"table\">"
                "<style:table-properties table:display=\"true\"/></style:style>"
                "</office:automatic-styles>"
                "<table:table table:name=\"Старый\" table:style-name=\"ta2\"><table:table-row>"
                "<table:table-cell office:value-type=\"float\" office:value=\"1\"/>"
                "</table:table-row></table:table>"
                "<table:table table:name=\"Прайс\" table:style-name=\"ta1\"><table:table-row>"
                "<table:table-cell office:value-type=\"float\" office:value=\"2\"/>"
                "</table:table-row></table:table>"),
       "[Прайс]\n1: #2 - - - - -\n"},
      // A formula's value is read where the file holds it: a number, or a text, even empty.
      {"xlsx formulas",
       XlsxBytes("<row><c><f>1+1</f><v>2</v></c><c><f>A1</f></c><c t=\"str\"><f>\"\"</f><v></v>"
                 "</c><c><f>A1</f><v></v></c><c t=\"b\"><f t=\"shared\" si=\"0\"/><v/></c></row>",
                 ""),
       "[Прайс]\n1: #2 ? - ? ? -\n"},
      {"xlsx values to compute on opening",
       XlsxBytes("<row><c><f>1+1</f><v>0</v></c><c><v>5</v></c></row>", "", "",
                 "<calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/>"),
       "[Прайс]\n1: ? #5 - - - -\n"},
      {"ods formulas",
       OdsBytes("<table:table table:name=\"Прайс\"><table:table-row>"
                "<table:table-cell table:formula=\"of:=1+1\" office:value-type=\"float\" "
                "office:value=\"2\"/><table:table-cell table:formula=\"of:=[.A1]\"/>"
                "</table:table-row></table:table>"),
       "[Прайс]\n1: #2 ? - - - -\n"},
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

// A part is read once however often it is named, and nothing after the sheet that is the one.
TEST(Workbook, ReadsWhatIsNeededOnce) {
  RowLog rows;
  rows.lastSheet = false;
  const std::string sheets = "<sheet name=\"A\" r:id=\"rId1\"/><sheet name=\"B\" r:id=\"rId1\"/>";
  EXPECT_EQ(ReadWorkbook(XlsxBytes("<row><c><v>1</v></c></row>", "", sheets), rows),
            WorkbookStatus::kRead);
  EXPECT_EQ(rows.log, "[A]\n1: #1 - - - - -\n");

  // The sheets of an OpenDocument workbook share one part: one declared far beyond the
  // limits is read as far as the sheet that is the one, and whatever follows costs nothing.
  RowLog goods;
  const std::string content =
      "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\"><office:body>"
      "<office:spreadsheet><table:table table:name=\"Прайс\"><table:table-row>"
      "<table:table-cell office:value-type=\"float\" office:value=\"3\"/></table:table-row>"
      "</table:table><table:table table:name=\"Продажи\">";
  EXPECT_EQ(ReadWorkbook(StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                    {"content.xml", content, 200u << 20}}),
                         goods),
            WorkbookStatus::kRead);
  EXPECT_EQ(goods.log, "[Прайс]\n1: #3 - - - - -\n");
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
      {"a part declared over the limit, holding less",
       OdsBytes("", {{"META-INF/manifest.xml", "<m/>", static_cast<uint32_t>(kZipPartLimit + 1)}}),
       WorkbookStatus::kDamaged},
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
      {"a tag longer than any workbook writes",
       OdsBytes("<table:table><table:table-row><table:table-cell x=\"" +
                std::string(kMarkupLimit, 'x') + "\"/></table:table-row></table:table>"),
       WorkbookStatus::kTooLarge},
      {"a comment as long", OdsBytes("<!--" + std::string(kMarkupLimit, 'c') + "-->"),
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
