// The Linux program reading goods files: what it refuses (one error line on standard error,
// status 1, nothing sent) and how spreadsheet rows land in the register.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "text/text_encoding.h"

namespace {

std::string Line(const std::string& code, const std::string& barcode, const std::string& price,
                 const std::string& group) {
  return code + "\t" + Utf8ToCp1251("Молоко 1л") + "\t" + barcode + "\t" + price + "\t" + group +
         "\t0\t\r\n";
}

const std::string kGood = Line("1", "4600000000001", "79.90", "2");

std::string Block(const std::string& lines) {
  return Utf8ToCp1251("База товаров\r\n") + "<start>\r\n" + kGood + lines + kGood + "<end>\r\n";
}

// Runs the program on the file and expects exactly this error line and status 1. The limit
// only catches a hang: a 100 MiB file read by the sanitizer build on a busy machine takes
// well over 10 s.
void ExpectRefused(const std::vector<std::string>& args, const std::string& utf8Message) {
  const ProgramResult r = RunProgram(TALLY_BINARY, args, {}, 180);
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "OKA PF: ошибка: " + utf8Message + "\n");
}

TEST(TallyGoodsFile, MissingFile) {
  const TempDir dir;
  const std::string name = dir.path() + "/no-such-goods.txt";
  ExpectRefused({name}, "Не могу открыть файл: " + name);
  ExpectRefused({dir.path()}, "Не могу открыть файл: " + dir.path());  // a folder
}

TEST(TallyGoodsFile, InvalidPrice) {
  const TempDir dir;
  const std::string name = dir.write("goods.txt", Block(Line("2", "", "12.5", "1")));
  ExpectRefused({name}, "Недопустимая цена: '12.5\t' (строка 4 файла)");
  // Whole units ("/r"): prices with kopecks are invalid, whole ones pass.
  const std::string whole = dir.write("whole.txt", "<start>\r\n" + Line("1", "", "80", "") +
                                                       Line("2", "", "80.00", "") + "<end>\r\n");
  ExpectRefused({"/r", whole}, "Недопустимая цена: '80.00\t' (строка 3 файла)");
  // With LF alone as line ends the goods are read too, so the bad price is found.
  std::string lf = Block(Line("3", "", "1,2,3", ""));
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  ExpectRefused({dir.write("lf.txt", lf)}, "Недопустимая цена: '1,2,3\t' (строка 4 файла)");
  // A heading row in the block is no item in whole units either: it has no code.
  const std::string heading =
      dir.write("heading.txt", "<start>\r\n" + Utf8ToCp1251("\tМОЛОЧНЫЕ ПРОДУКТЫ\r\n") +
                                   Line("1", "", "80", "") + "<end>\r\n");
  ExpectRefused({"/r", heading}, "Недопустимый код товара: '\t' (строка 2 файла)");
}

TEST(TallyGoodsFile, TooManyGoods) {
  const TempDir dir;
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += kGood;
  const std::string name = dir.write("big.txt", "<start>\r\n" + lines + lines + "<end>\r\n");
  ExpectRefused({name}, "Слишком много товаров в файле (больше 3000)");
}

TEST(TallyGoodsFile, FieldsTheRegisterCannotTake) {
  const TempDir dir;
  struct Case {
    std::string line;
    std::string message;
  };
  const Case cases[] = {
      {Line("65536", "", "1.00", ""), "Недопустимый код товара: '65536\t'"},
      {Line("-3", "", "1.00", ""), "Недопустимый код товара: '-3\t'"},
      {Line("5", "", "1.00", "256"), "Недопустимый номер группы: '256\t'"},
      {Line("5", "460000000000123", "1.00", ""), "Недопустимый штрих-код: '460000000000123\t'"},
      {Line("5", "-4600000000001", "1.00", ""), "Недопустимый штрих-код: '-4600000000001\t'"},
  };
  for (const Case& c : cases) {
    ExpectRefused({dir.write("goods.txt", Block(c.line))}, c.message + " (строка 4 файла)");
  }
}

// Uploads the goods bytes, written to a file in dir, to a fresh simulator.
SimulatedUpload UploadTo(const TempDir& dir, const std::string& goods) {
  return UploadToSimulator(TALLY_BINARY, REGISTER_SIM_BINARY, dir.write("goods.txt", goods));
}

const std::string kBaseHeader = "code\tname\tbarcode\tprice\tgroup\tflag\tlast\n";

TEST(TallyGoodsFile, SpreadsheetRowsLandWhole) {
  const TempDir dir;
  // As a spreadsheet saves TAB-separated text: no TAB after the last cell of a row. Empty
  // rows, a row of TABs and a CR CR LF line end add nothing. A cell with quote marks in it
  // is saved in quotes, each of its own doubled.
  const std::string goods =
      "<start>\r\n" + Utf8ToCp1251("5\tХлеб\t\t45.50\t1\t1") + "\r\n\r\n" +
      Utf8ToCp1251("6\tМолоко\t4600000000017\t79.90\t3") + "\r\r\n\t\t\t\t\t\r\n" +
      Utf8ToCp1251("7\tЧай\t\t120,00\t\t0") + "\r\n" +
      Utf8ToCp1251("8\t\"Шоколад \"\"Алёнка\"\" 100г\"\t\t\"89,90\"\t\t0") + "\r\n<end>\r\n";
  const SimulatedUpload landed = UploadTo(dir, goods);
  EXPECT_EQ(landed.exitStatus, 0) << landed.err;
  EXPECT_EQ(landed.err, "");
  EXPECT_EQ(landed.base, kBaseHeader +                                                       //
                             "5\thleb\\t" + std::string(19, ' ') + "\t0\t4550\t1\t1\t0\n" +  //
                             "6\tmoloko\\t" + std::string(17, ' ') +
                             "\t4600000000017\t7990\t3\t0\t0\n" +                            //
                             "7\t~aj\\t" + std::string(20, ' ') + "\t0\t12000\t0\t0\t0\n" +  //
                             "8\t{okolad \"alenka\" 100g\\t  \t0\t8990\t0\t0\t1\n");
}

// A price list kept as a spreadsheet (tests/data/price-list, with the script that made its
// exports) as LibreOffice Calc and Gnumeric export it or save it as a workbook: what the sheet
// means reaches the register, or the file is refused at the row's line with nothing sent.
TEST(TallyGoodsFile, SpreadsheetExportsLandAsTheSheetMeans) {
  const TempDir dir;
  const std::string folder = std::string(TALLY_SOURCE_DIR) + "/tests/data/price-list/";
  // Sheet 1, item by item: a code written 0102, a bar code with a leading zero, names with
  // quote marks, «», № and Ё, one with a TAB and one with a line break in its cell.
  const std::string sheet1 = kBaseHeader +
                             "101\thleb ?borodinskij? 400 g\t4607001001010\t4290\t1\t0\t0\n"
                             "102\tmoloko \"domik w derewne\"\t4600000000017\t8990\t2\t0\t0\n"
                             "103\tsyr ?1 ?elkin?\\t         \t4607001001034\t129900\t2\t1\t0\n"
                             "104\thleb belyj\\t             \t4607001001041\t8990\t1\t0\t0\n"
                             "105\tsmetana 20%, 300 g\\t     \t4607001001058\t12550\t2\t1\t0\n"
                             "106\ter{ ?pikantnyj?\\t        \t0\t25000\t3\t0\t0\n"
                             "107\t~aj LIPTON \"YELLOW LABEL\t8722700055525\t50\t4\t0\t0\n"
                             "108\tpaket-majka\\t            \t0\t300\t9\t0\t1\n";
  // The workbooks as well, price-list.ods itself among them: its bar codes typed as numbers,
  // its prices as typed. The same goods as the sheet shown after a hidden one whose block has
  // other prices, and as formulas (codes from the row's number, prices marked up from a column
  // beyond F or taken from another cell) whose values LibreOffice stored.
  for (const std::string name :
       {"lo-windows-1251.txt", "lo-utf-8.txt", "lo-utf-16.txt", "gnumeric-windows-1251.txt",
        "gnumeric-utf-8.txt", "gnumeric-utf-16.txt", "lo.xlsx", "gnumeric.xlsx", "gnumeric.ods",
        "price-list.ods", "hidden-sheet.ods", "lo-hidden-sheet.xlsx", "formulas.ods",
        "lo-formulas.xlsx"}) {
    const SimulatedUpload landed = UploadTo(dir, ReadFileBytes(folder + name));
    EXPECT_EQ(landed.exitStatus, 0) << name << ": " << landed.err;
    EXPECT_EQ(landed.base, sheet1) << name;
  }
  // Two blocks, the second opened by a cell with text after its marker, which Gnumeric writes
  // in quotes.
  const std::string twoBlocks = ReadFileBytes(folder + "gnumeric-two-blocks-utf-8.txt");
  ASSERT_NE(twoBlocks.find("\n\"<start> второй блок\"\t"), std::string::npos);
  const SimulatedUpload two = UploadTo(dir, twoBlocks);
  EXPECT_EQ(two.exitStatus, 0) << two.err;
  EXPECT_EQ(two.base, kBaseHeader +
                          "101\thleb ?borodinskij? 400 g\t4607001001010\t4290\t1\t0\t0\n"
                          "108\tpaket-majka\\t            \t0\t300\t9\t0\t1\n");
  // Made here: the LibreOffice workbook cut in half.
  const std::string xlsx = ReadFileBytes(folder + "lo.xlsx");
  const std::string cut = dir.write("cut.xlsx", xlsx.substr(0, xlsx.size() / 2));
  const struct {
    std::string path;
    std::string message;  // one that ends in ": " is followed by the file's name
  } refused[] = {
      // Saved as the cells hold the prices, not as shown.
      {folder + "lo-utf-8-not-as-shown.txt", "Недопустимая цена: '42,9\t' (строка 4 файла)"},
      {folder + "gnumeric-utf-8-automatic.txt", "Недопустимая цена: '42,9\t' (строка 4 файла)"},
      {folder + "lo-totals-in-block-windows-1251.txt",
       "Недопустимый код товара: '\t' (строка 3 файла)"},
      {folder + "gnumeric-totals-in-block-utf-8.txt",
       "Недопустимый код товара: '\t' (строка 3 файла)"},
      {folder + "lo-full-width-code-utf-8.txt", "Недопустимый код товара: '??\t' (строка 2 файла)"},
      {folder + "gnumeric-full-width-code-utf-16.txt",
       "Недопустимый код товара: '??\t' (строка 2 файла)"},
      // A price of a fraction of a kopeck, shown rounded.
      {folder + "bad-price.ods", "Недопустимая цена: '42,905\t' (строка 4 листа «Прайс»)"},
      {folder + "lo.xls",
       "Файл в старом формате Excel (.xls). Сохраните его как книгу .xlsx или как текст: "},
      {cut, "Книга повреждена и не читается: "},
      // The same formulas as written by xlsxwriter (a stored 0, the workbook to be computed when
      // opened) and by openpyxl (no value): refused at the first goods row's code.
      {folder + "xlsxwriter-formulas.xlsx",
       "Значение формулы не сохранено. Откройте книгу в таблице и сохраните её (строка 4 листа "
       "«Прайс»)"},
      {folder + "openpyxl-formulas.xlsx",
       "Значение формулы не сохранено. Откройте книгу в таблице и сохраните её (строка 4 листа "
       "«Прайс»)"},
  };
  for (const auto& r : refused) {
    const SimulatedUpload landed = UploadTo(dir, ReadFileBytes(r.path));
    const std::string file = r.message.ends_with(": ") ? dir.path() + "/goods.txt" : "";
    EXPECT_EQ(landed.exitStatus, 1) << r.path;
    EXPECT_EQ(landed.err, "OKA PF: ошибка: " + r.message + file + "\n") << r.path;
    EXPECT_EQ(landed.base, kBaseHeader) << r.path;
    EXPECT_EQ(landed.simLog, "") << r.path << ": nothing reached the line";
  }
}

TEST(TallyGoodsFile, NoStartLineSendsNothing) {
  const TempDir dir;
  // A TAB-separated export that was never given its "<start>" line.
  const SimulatedUpload landed =
      UploadTo(dir, Utf8ToCp1251("5\tХлеб\t\t45.50\t1\t1\t\r\n6\tЧай\t\t9.90\t1\t0\t\r\n"));
  EXPECT_EQ(landed.exitStatus, 1);
  EXPECT_EQ(landed.err,
            "OKA PF: ошибка: Не найдена строка <start> в файле: " + dir.path() + "/goods.txt\n");
  EXPECT_EQ(landed.base, kBaseHeader);
  EXPECT_EQ(landed.simLog, "") << "nothing reached the line";
}

// A file of a 100 MiB field, written a piece at a time so that the test itself stays small
// (a child's peak memory counts what its parent had when it was started). A reader that kept
// the field whole would need more than half as much again as the bound the test sets.
std::string WriteHugeField(const TempDir& dir, const std::string& before, char filler,
                           const std::string& after) {
  const std::string path = dir.path() + "/huge.txt";
  std::ofstream out(path, std::ios::binary);
  out << "<start>\r\n" << before;
  const std::string piece(1024 * 1024, filler);
  for (int i = 0; i < 100; ++i) out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  out << after << "\r\n<end>\r\n";
  return path;
}

TEST(TallyGoodsFile, HugeFieldCostsLittleMemoryAndAShortMessage) {
  const TempDir dir;
  const struct {
    std::string before;  // the line up to the field and its first byte
    std::string lead;    // the message before the quote
  } cases[] = {
      {"1", "Недопустимый код товара: '"},
      {"1\tA\t\t1", "Недопустимая цена: '"},
  };
  for (const auto& c : cases) {
    // A digit, 100 MiB of blanks, and a letter at the very end that spoils the field.
    const std::string path = WriteHugeField(dir, c.before, ' ', "x\t1.00\t\t\t");
    ExpectRefused({path}, c.lead + "1" + std::string(99, ' ') + "...' (строка 2 файла)");
    std::filesystem::remove(path);
  }
  // Peak resident memory of the largest child waited for so far: every program run above.
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  const double peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  RecordProperty("peak_rss_kib", static_cast<int>(usage.ru_maxrss));
  EXPECT_LT(peakMiB, 64.0) << "the field must not be kept whole";
}

// AddressSanitizer makes the reader's own handling of the XML several times slower: there a
// hostile workbook's reading takes seconds more, and only its memory is held to the bound.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

// Workbooks of at most 2 MB made to inflate to hundreds of megabytes or to have one part read
// again and again (tests/data/make_hostile_workbooks.py tells each): every one is
// answered, loaded or refused with one line, within 10 s and 100 MiB.
TEST(TallyGoodsFile, HostileWorkbooksAreAnsweredSoonInLittleMemory) {
  const TempDir dir;
  ASSERT_EQ(
      RunProgram(TALLY_SOURCE_DIR "/tests/data/make_hostile_workbooks.py", {dir.path()}, {}, 600)
          .exitStatus,
      0);
  const std::string loaded = "OKA PF: внимание: Файл товаров в порядке: 2 товара (лист «Прайс»)\n";
  const std::string noStart =
      "OKA PF: ошибка: Ни на одном листе книги нет ячейки <start> в столбце A: ";
  const std::string tooLarge = "OKA PF: ошибка: Книга слишком велика или повреждена: ";
  const struct {
    std::string name;
    int exitStatus;
    std::string message;  // followed by the file's name when refused
  } cases[] = {
      // A 60 MiB sheet named 20,000 times, and a 60 MiB part of shared texts named 100 times:
      // each read once, and neither has a "<start>".
      {"many-sheets-one-part.xlsx", 1, noStart}, {"shared-texts-100-times.xlsx", 1, noStart},
      {"ten-big-sheets.xlsx", 1, tooLarge},   // 640 MiB of sheets: 256 MiB are read
      {"repeated-rows.ods", 0, loaded},       // rows repeated 4096 times each, then the block
      {"long-attribute.xlsx", 1, tooLarge},   // an attribute of 60 MB
      {"goods-then-200-mib.ods", 0, loaded},  // the block's sheet, then 200 MiB of another
  };
  const char* given = std::getenv("ASAN_OPTIONS");
  const std::string sanitizer =
      (given != nullptr ? std::string(given) + ":" : "") + "quarantine_size_mb=16";
  uintmax_t bytes = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.path() + "/" + c.name;
    bytes += std::filesystem::file_size(path);
    // 256 MiB of rows take long under the sanitizer; what the total limit counts is the
    // archive's unit test's, and the time this case takes the release build's.
    if (kUnderAddressSanitizer && c.name == "ten-big-sheets.xlsx") continue;
    // AddressSanitizer keeps freed memory aside (256 MiB by default) to catch its later use,
    // so that a reader freeing as it goes would look as large as one keeping all: a small
    // quarantine leaves the figure the program's own.
    const ProgramResult run = RunProgram(TALLY_BINARY, {"/t", path}, {{"ASAN_OPTIONS", sanitizer}},
                                         kUnderAddressSanitizer ? 300 : 10);
    RecordProperty(c.name + "_seconds", std::to_string(run.seconds));
    RecordProperty(c.name + "_peak_rss_kib", static_cast<int>(run.peakKiB));
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    EXPECT_EQ(run.err, c.message + (c.exitStatus == 0 ? "" : path + "\n"));
    if (!kUnderAddressSanitizer) {
      EXPECT_LT(run.seconds, 10.0);
    }
    EXPECT_LT(static_cast<double>(run.peakKiB) / 1024.0, 100.0) << "MiB at the peak";
  }
  EXPECT_LT(bytes, uintmax_t{4} << 20) << "the workbooks together, as made";
}

}  // namespace
