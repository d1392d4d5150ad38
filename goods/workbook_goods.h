// A workbook's goods: the rows of its sheets read as the lines of their TAB-separated export,
// each cell as the field the export would hold, handed to the goods file's reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "goods/byte_source.h"
#include "goods/goods_table.h"
#include "goods/workbook.h"
#include "text/message_style.h"

// The fields of a goods line, in their order: code, name, bar code, price, group, flag.
constexpr int kGoodsFields = 6;
constexpr int kPriceField = 3;

// Where a workbook's rows go: the reader of the goods file's lines.
class GoodsRows {
 public:
  // A row standing repeat times, numbered as the sheet shows it, its fields in Windows-1251
  // without TABs or line breaks. valueMissing: a cell of the row holds a formula whose value
  // the file does not hold. False when the row refuses the file (the user has been told why).
  virtual bool row(int64_t number, int64_t repeat, const std::string (&fields)[kGoodsFields],
                   bool valueMissing) = 0;
  // Whether a "<start>" row has come.
  virtual bool sawStart() const = 0;

 protected:
  ~GoodsRows() = default;
};

enum class WorkbookRead { kRead, kRefused, kNotWorkbook };

// Reads the goods of a file that starts as a zip archive or a compound file does (kind) into
// rows, up to the end of the first sheet with a "<start>" in its first column; the table gets
// the sheet's name, and is emptied when the file is refused. kNotWorkbook: a zip archive that
// holds no workbook, to be read as text; the table is then made empty again.
WorkbookRead ReadWorkbookGoods(ByteSource& source, FileKind kind, const std::string& fileName,
                               bool wholeUnitPrices, GoodsRows& rows, GoodsTable& table,
                               const MessageSink& show);

// A number as a workbook stores it (an optional sign, digits with an optional ".", an
// optional exponent: "89.9", "4607001001010", "1.5E-3") written out as a plain decimal with
// "," before its fraction, as a goods file holds it: "89,9", "4607001001010", "0,0015". It is
// first rounded to 15 significant digits, as far as the spreadsheet itself counts them, so
// that a formula's 98.890000000000001 is the 98,89 its cell shows. The fraction gets zeros up
// to minFraction digits. False when the text is no such number, or its plain form would be
// longer than 40 digits.
bool PlainDecimal(std::string_view number, size_t minFraction, std::string& plain);
