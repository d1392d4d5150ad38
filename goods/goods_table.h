// The goods read from the goods file: seven parallel columns (the six the register gets and
// each item's line in the file), items 1 to GoodsCount.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int32_t kGoodsCapacity = 3000;  // items 1..3000; index 0 is never used
constexpr size_t kNameWidth = 24;         // bytes of Name, its TAB included when it fits
constexpr size_t kBarcodeWidth = 14;      // bytes of Barcode, its TAB included when it fits

struct GoodsTable {
  std::vector<int32_t> Code;
  std::vector<std::string> Name;     // exactly kNameWidth bytes each
  std::vector<std::string> Barcode;  // exactly kBarcodeWidth bytes each
  std::vector<int32_t> Price;        // kopecks, or whole units with "/r"
  std::vector<int32_t> Group;
  std::vector<int32_t> Flag;  // 0 or 1
  std::vector<int64_t> Line;  // the item's line in the goods file, counting every line from 1
  // The sheet the goods come from when the goods file is a workbook (Windows-1251); Line is
  // then the row of that sheet. Empty for a text file.
  std::string Sheet;
  int32_t GoodsCount = 0;

  // Makes all seven columns and Sheet empty (zero-filled, full capacity) and GoodsCount 0.
  void create();
};

// A sheet's name (Windows-1251) as messages show it: on one line, each control character a
// blank, and at most 31 characters, Excel's own limit, a longer name cut to 30 and "…".
std::string ShownSheetName(std::string_view name);

// Where a line of the goods file is, in Windows-1251: "строка 4 файла", or for a workbook's
// sheet "строка 4 листа «Прайс»".
std::string LinePlaceText(const std::string& sheet, int64_t line);

// The process-wide table, filled once by ReadGoodsFile and read by the upload.
extern GoodsTable Goods;
