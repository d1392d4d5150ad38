// The goods reader on any bytes: the same file read in 1-byte, 7-byte and 64 KiB pieces must
// give the same table and the same message, whatever its encoding; and a table that was read
// holds only what the register can take, each item on a line of its own in file order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/goods_table_check.h"
#include "goods/byte_source.h"
#include "goods/goods_file.h"
#include "goods/goods_table.h"

namespace {

struct Reading {
  bool ok = false;
  std::vector<std::string> shown;
  GoodsTable table;
};

// The tables live on between inputs: filling 3001 rows afresh would cost more than reading.
void Read(Reading& r, const std::string& bytes, size_t pieceSize, bool wholeUnits) {
  r.shown.clear();
  MemorySource source(bytes, pieceSize);
  r.ok = ReadGoodsFrom(source, "goods.txt", wholeUnits, r.table,
                       [&](const std::string& text, uint32_t) { r.shown.push_back(text); });
}

bool SameItems(const GoodsTable& a, const GoodsTable& b) {
  if (a.GoodsCount != b.GoodsCount) return false;
  for (int32_t i = 1; i <= a.GoodsCount; ++i) {
    if (a.Code[i] != b.Code[i] || a.Name[i] != b.Name[i] || a.Barcode[i] != b.Barcode[i] ||
        a.Price[i] != b.Price[i] || a.Group[i] != b.Group[i] || a.Flag[i] != b.Flag[i] ||
        a.Line[i] != b.Line[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool wholeUnits = size % 2 == 1;
  static Reading whole;
  static Reading pieces;
  Read(whole, bytes, 64 * 1024, wholeUnits);
  CheckGoodsTable(whole.ok, whole.shown, whole.table);
  for (const size_t piece : {size_t{1}, size_t{7}}) {
    Read(pieces, bytes, piece, wholeUnits);
    if (pieces.ok != whole.ok || pieces.shown != whole.shown)
      FailGoods("outcome depends on pieces");
    if (!SameItems(pieces.table, whole.table)) FailGoods("table depends on pieces");
  }
  return 0;
}
