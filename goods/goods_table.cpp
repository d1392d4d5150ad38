#include "goods/goods_table.h"

#include "text/text_encoding.h"

GoodsTable Goods;

void GoodsTable::create() {
  const size_t rows = kGoodsCapacity + 1;
  Code.assign(rows, 0);
  Name.assign(rows, std::string(kNameWidth, '\0'));
  Barcode.assign(rows, std::string(kBarcodeWidth, '\0'));
  Price.assign(rows, 0);
  Group.assign(rows, 0);
  Flag.assign(rows, 0);
  Line.assign(rows, 0);
  Sheet.clear();
  GoodsCount = 0;
}

std::string ShownSheetName(std::string_view name) {
  constexpr size_t kShownLength = 31;
  std::string shown(name.substr(0, name.size() > kShownLength ? kShownLength - 1 : kShownLength));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  if (name.size() > kShownLength) shown += '\x85';  // "…" in Windows-1251
  return shown;
}

std::string LinePlaceText(const std::string& sheet, int64_t line) {
  const std::string place = Utf8ToCp1251("строка ") + std::to_string(line);
  if (sheet.empty()) return place + Utf8ToCp1251(" файла");
  return place + Utf8ToCp1251(" листа «") + sheet + Utf8ToCp1251("»");
}
