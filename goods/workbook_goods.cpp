#include "goods/workbook_goods.h"

#include <algorithm>
#include <vector>

#include "goods/goods_file.h"
#include "text/text_encoding.h"

namespace {

// The most a workbook file may hold. It is read where it lies, never whole, and only as far
// as its goods sheet; a goods list of the table's 3000 items takes well under a megabyte.
constexpr int64_t kWorkbookFileLimit = int64_t{64} << 20;

// A cell as its field in a TAB-separated export: a text in Windows-1251, its TABs and line
// breaks blanks (a line break of CR LF one blank); a number as a plain decimal, a price of the
// default mode with two digits after its comma (89.9 is 89,90), so that the price rule reads
// the value the cell holds and refuses one that is no whole number of kopecks, and with "/r"
// one that is no whole number.
std::string CellField(const SheetCell& cell, bool price, bool wholeUnitPrices) {
  std::string text;
  if (cell.kind == SheetCell::kNumber &&
      PlainDecimal(cell.value, price && !wholeUnitPrices ? 2 : 0, text)) {
    return text;
  }
  Cp1251Converter converter(TextEncoding::Utf8, kLackingCharacter);
  std::string converted;
  converter.convert(cell.value, converted);
  converter.finish(converted);
  for (size_t i = 0; i < converted.size(); ++i) {
    const char c = converted[i];
    if (c == '\r' && i + 1 < converted.size() && converted[i + 1] == '\n') continue;
    text += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
  }
  return text;
}

static_assert(kGoodsFields == kSheetColumns, "a goods field in each column, A to F");

// The rows of a workbook's sheets as goods rows, up to the end of the first sheet with a
// "<start>" in its first column.
class SheetGoods final : public SheetRows {
 public:
  SheetGoods(GoodsRows& rows, bool wholeUnitPrices, GoodsTable& table)
      : rows_(rows), wholeUnitPrices_(wholeUnitPrices), table_(table) {}

  void beginSheet(std::string_view utf8Name) override {
    table_.Sheet = ShownSheetName(Utf8ToCp1251(utf8Name));
  }

  bool row(int64_t number, int64_t repeat, const SheetCell (&cells)[kSheetColumns]) override {
    std::string fields[kGoodsFields];
    bool valueMissing = false;
    for (int f = 0; f < kGoodsFields; ++f) {
      fields[f] = CellField(cells[f], f == kPriceField, wholeUnitPrices_);
      valueMissing = valueMissing || cells[f].kind == SheetCell::kNoValue;
    }
    return rows_.row(number, repeat, fields, valueMissing);
  }

  bool endSheet() override { return rows_.sawStart(); }

 private:
  GoodsRows& rows_;
  const bool wholeUnitPrices_;
  GoodsTable& table_;
};

// What refuses a workbook, before or after its sheets were read.
std::string WorkbookRefusal(WorkbookStatus status) {
  switch (status) {
    case WorkbookStatus::kEncrypted:
      return "Книга защищена паролем. Сохраните её без пароля: ";
    case WorkbookStatus::kTooLarge:
      return "Книга слишком велика или повреждена: ";
    case WorkbookStatus::kRead:  // but no sheet had the marker
      return "Ни на одном листе книги нет ячейки <start> в столбце A: ";
    case WorkbookStatus::kDamaged:
    case WorkbookStatus::kNotWorkbook:
    case WorkbookStatus::kStopped:
    case WorkbookStatus::kUnreadable:
      break;
  }
  return "Книга повреждена и не читается: ";
}

// Whether a compound file holds a password-protected document (encrypted), looked for a piece
// at a time; false on a read error.
bool FindEncryptedPackage(ByteSource& source, bool& encrypted) {
  constexpr size_t kOverlap = 64;  // more than the stream's name takes
  std::string window;
  std::vector<char> piece(64 * 1024);
  encrypted = false;
  for (;;) {
    const int64_t count = source.read(piece.data(), piece.size());
    if (count < 0) return false;
    if (count == 0) return true;
    window.append(piece.data(), static_cast<size_t>(count));
    if (IsEncryptedPackage(window)) {
      encrypted = true;
      return true;
    }
    window.erase(0, window.size() > kOverlap ? window.size() - kOverlap : 0);
  }
}

}  // namespace

WorkbookRead ReadWorkbookGoods(ByteSource& source, FileKind kind, const std::string& fileName,
                               bool wholeUnitPrices, GoodsRows& rows, GoodsTable& table,
                               const MessageSink& show) {
  const auto refuse = [&](std::string_view utf8Text) {
    table.GoodsCount = 0;
    show(Utf8ToCp1251(utf8Text) + fileName, kIconError);
    return WorkbookRead::kRefused;
  };
  const auto cannotRead = [&] {
    table.GoodsCount = 0;
    show(CannotReadText(fileName), kIconError);
    return WorkbookRead::kRefused;
  };
  if (kind == FileKind::kCompound) {
    bool encrypted = false;
    if (!FindEncryptedPackage(source, encrypted)) return cannotRead();
    if (encrypted) return refuse(WorkbookRefusal(WorkbookStatus::kEncrypted));
    return refuse(
        "Файл в старом формате Excel (.xls). Сохраните его как книгу .xlsx или как "
        "текст: ");
  }
  const int64_t size = source.size();
  if (size < 0) return cannotRead();
  if (size > kWorkbookFileLimit) return refuse(WorkbookRefusal(WorkbookStatus::kTooLarge));
  SheetGoods goods(rows, wholeUnitPrices, table);
  const WorkbookStatus status = ReadWorkbook(source, goods);
  if (status == WorkbookStatus::kUnreadable) return cannotRead();
  if (status == WorkbookStatus::kNotWorkbook) {
    table.create();
    return WorkbookRead::kNotWorkbook;
  }
  if (status == WorkbookStatus::kStopped) {
    table.GoodsCount = 0;  // the reader has told why
    return WorkbookRead::kRefused;
  }
  if (status != WorkbookStatus::kRead || !rows.sawStart()) return refuse(WorkbookRefusal(status));
  return WorkbookRead::kRead;
}

bool PlainDecimal(std::string_view number, size_t minFraction, std::string& plain) {
  constexpr size_t kSignificant = 15;
  constexpr int64_t kLongest = 40;
  size_t i = 0;
  const bool negative = i < number.size() && number[i] == '-';
  if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
  // The digits, and where the point stands among them (0: before the first).
  std::string digits;
  int64_t point = 0;
  bool sawPoint = false;
  bool sawDigit = false;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else if (c >= '0' && c <= '9') {
      sawDigit = true;
      if (digits.empty() && c == '0') {  // a leading zero
        if (sawPoint) --point;
        continue;
      }
      digits += c;
      if (!sawPoint) ++point;
    } else {
      break;
    }
  }
  if (!sawDigit) return false;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    const bool down = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    int64_t exponent = 0;
    const size_t first = i;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (i == first) return false;
    point += down ? -exponent : exponent;
  }
  if (i != number.size()) return false;

  if (digits.size() > kSignificant) {
    const bool up = digits[kSignificant] >= '5';
    digits.resize(kSignificant);
    for (size_t d = kSignificant; up && d-- > 0;) {
      if (digits[d] != '9') {
        ++digits[d];
        break;
      }
      digits[d] = '0';
      if (d == 0) {  // 999... became 1000...
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++point;
      }
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) point = 0;  // zero, of whatever sign
  if (point > kLongest || -point > kLongest) return false;

  std::string whole = "0";
  std::string fraction;
  const auto size = static_cast<int64_t>(digits.size());
  if (point > 0) {
    whole = digits.substr(0, static_cast<size_t>(std::min(point, size)));
    whole.append(static_cast<size_t>(std::max<int64_t>(0, point - size)), '0');
    if (point < size) fraction = digits.substr(static_cast<size_t>(point));
  } else {
    fraction = std::string(static_cast<size_t>(-point), '0') + digits;
  }
  if (fraction.size() < minFraction) fraction.append(minFraction - fraction.size(), '0');
  plain = (negative && !digits.empty() ? "-" : "") + whole;
  if (!fraction.empty()) plain += "," + fraction;
  return true;
}
