#include "goods/goods_file.h"

#include "goods/cp1251.h"

// Placeholder until the goods file reader lands: every file is refused with a message.
bool ReadGoodsFile(const std::string& fileName, bool, GoodsTable&, const MessageSink& show) {
  show(W1251("Чтение файла товаров ещё не готово: ") + fileName, kIconError);
  return false;
}

PriceResult ParsePrice(std::string_view, bool) { return {}; }

NumberValue ParseNumber(std::string_view) { return {0, true}; }
