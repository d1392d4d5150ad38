#include "goods/goods_table.h"

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
  GoodsCount = 0;
}
