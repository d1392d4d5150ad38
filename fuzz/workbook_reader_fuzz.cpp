// The goods reader on workbooks made of any bytes: the bytes as a whole archive, as the XML
// of an OpenDocument spreadsheet's content, and as an Office Open XML sheet and its shared
// texts (split at the first NUL byte). Whatever the reader makes of them, the table must be
// one the register can take, and a refusal must leave it empty.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/goods_table_check.h"
#include "goods/byte_source.h"
#include "goods/goods_file.h"
#include "tests/workbook_bytes.h"

namespace {

void ReadAndCheck(const std::string& workbook, bool wholeUnits) {
  static GoodsTable table;  // lives on between inputs: filling 3001 rows costs more than reading
  std::vector<std::string> shown;
  MemorySource source(workbook, 64 * 1024);
  const bool ok = ReadGoodsFrom(source, "goods.xlsx", wholeUnits, table,
                                [&](const std::string& text, uint32_t) { shown.push_back(text); });
  CheckGoodsTable(ok, shown, table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool wholeUnits = size % 2 == 1;
  ReadAndCheck(bytes, wholeUnits);
  ReadAndCheck(OdsBytes(bytes), wholeUnits);
  const size_t split = bytes.find('\0');
  ReadAndCheck(split == std::string::npos
                   ? XlsxBytes(bytes, "")
                   : XlsxBytes(bytes.substr(0, split), bytes.substr(split + 1)),
               wholeUnits);
  return 0;
}
