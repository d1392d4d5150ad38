// Reading the goods file into the goods table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "goods/goods_table.h"
#include "text/message_style.h"

// Reads the goods lines of the file into the table (created empty beforehand). A file
// without a "<start>" line is refused. On failure it has told the user through show and
// returns false; nothing may then be sent.
bool ReadGoodsFile(const std::string& fileName, bool wholeUnitPrices, GoodsTable& table,
                   const MessageSink& show);

struct PriceResult {
  bool valid = false;
  int32_t value = 0;
};

// Validates a price field as split off the line (its TAB included) and gives its value in
// kopecks, or in whole units when wholeUnitPrices is set.
PriceResult ParsePrice(std::string_view field, bool wholeUnitPrices);

struct NumberValue {
  int64_t value = 0;      // rounded to the nearest integer, a half to the even neighbour
  bool overflow = false;  // the magnitude does not fit 63 bits; value is then meaningless
};

// Numeric value of a flag field, or of a stored bar code column as the register gets it:
// leading blanks, TABs and line feeds skipped, then an optional sign, digits and an optional
// decimal point with digits; the first other character ends the number; no number gives 0.
// (The code, group and bar code fields of the file must hold one number and nothing else;
// ReadGoodsFile checks that.)
NumberValue ParseNumber(std::string_view field);
