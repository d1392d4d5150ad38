// What every reading of a goods file must leave, whatever the file: a message exactly when
// it is refused, no goods then, and otherwise only what the register can take, each item on
// a line (or a sheet's row) of its own, in the file's order.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "goods/goods_table.h"

[[noreturn]] inline void FailGoods(const char* what) {
  std::fprintf(stderr, "goods reader: %s\n", what);
  std::abort();
}

inline void CheckGoodsTable(bool ok, const std::vector<std::string>& shown,
                            const GoodsTable& table) {
  if (ok != shown.empty()) FailGoods("a message exactly when the file is refused");
  if (!ok && table.GoodsCount != 0) FailGoods("a refused file leaves no goods");
  if (table.GoodsCount < 0 || table.GoodsCount > kGoodsCapacity) FailGoods("goods count");
  for (int32_t i = 1; i <= table.GoodsCount; ++i) {
    if (table.Name[i].size() != kNameWidth || table.Barcode[i].size() != kBarcodeWidth) {
      FailGoods("column widths");
    }
    if (table.Code[i] < 0 || table.Code[i] > 65535 || table.Group[i] < 0 || table.Group[i] > 255 ||
        table.Price[i] < 0 || (table.Flag[i] != 0 && table.Flag[i] != 1)) {
      FailGoods("a value the register cannot take");
    }
    // A "<start>" line stands before the first item, and each item has a line of its own.
    if (table.Line[i] <= (i == 1 ? 1 : table.Line[i - 1])) FailGoods("item lines in file order");
  }
}
