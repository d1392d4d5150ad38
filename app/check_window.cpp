#include "app/check_window.h"

#include <algorithm>
#include <map>

#include "app/check_run.h"
#include "register/upload_exchange.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

// The layout in dialog units: the margins and gaps of the usual dialog, the verdict four
// lines high (five repeated codes with their lines fill three at the usual width), the hint
// two lines beside the buttons.
constexpr int32_t kMargin = 7;
constexpr int32_t kGap = 4;
constexpr int32_t kVerdictHeight = 32;
constexpr int32_t kBandHeight = 16;
constexpr int32_t kButtonHeight = 14;
constexpr int32_t kSaveWidth = 90;
constexpr int32_t kCloseWidth = 50;
// Wide enough for "3000", "65535 (повтор)", a name of 24 letters, 14 digits, "21474836,47".
constexpr std::array<int32_t, kCheckColumns> kColumnUnits = {36, 72, 104, 64, 52, 36, 40};

constexpr size_t kNameColumn = 2;

int32_t Pixels(int32_t units, int32_t pixelsPer1000) {
  return static_cast<int32_t>((int64_t{units} * pixelsPer1000 + 500) / 1000);
}

}  // namespace

std::array<std::string, kCheckColumns> CheckColumnHeadings() {
  std::array<std::string, kCheckColumns> headings;
  const char* const utf8[kCheckColumns] = {"строка", "код",    "название", "штрих-код",
                                           "цена",   "группа", "признак"};
  for (size_t c = 0; c < kCheckColumns; ++c) headings[c] = Utf8ToCp1251(utf8[c]);
  return headings;
}

std::string PriceText(int32_t price, bool wholeUnitPrices) {
  if (wholeUnitPrices) return std::to_string(price);
  const std::string kopecks = std::to_string(price % 100);
  return std::to_string(price / 100) + (kopecks.size() < 2 ? ",0" : ",") + kopecks;
}

std::vector<CheckRow> CheckRows(const GoodsTable& table, bool wholeUnitPrices) {
  std::map<int32_t, int> items;  // code -> the items that have it
  for (int32_t i = 1; i <= table.GoodsCount; ++i) ++items[table.Code[i]];
  std::vector<CheckRow> rows;
  rows.reserve(static_cast<size_t>(table.GoodsCount));
  for (size_t i = 1; i <= static_cast<size_t>(table.GoodsCount); ++i) {
    CheckRow row;
    row.repeated = items[table.Code[i]] > 1;
    const uint64_t barcode = UploadExchange::barcodeNumber(table.Barcode[i]);
    row.keys = {table.Line[i],  table.Code[i], 0, static_cast<int64_t>(barcode), table.Price[i],
                table.Group[i], table.Flag[i]};
    row.texts = {std::to_string(table.Line[i]),
                 std::to_string(table.Code[i]) + (row.repeated ? Utf8ToCp1251(" (повтор)") : ""),
                 ListedName(table.Name[i]),
                 std::to_string(barcode),
                 PriceText(table.Price[i], wholeUnitPrices),
                 std::to_string(table.Group[i]),
                 std::to_string(table.Flag[i])};
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<size_t> SortedRows(const std::vector<CheckRow>& rows, size_t column, bool descending) {
  std::vector<size_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto before = [&](size_t a, size_t b) {
    if (column == kNameColumn) return rows[a].texts[column] < rows[b].texts[column];
    return rows[a].keys[column] < rows[b].keys[column];
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return descending ? before(b, a) : before(a, b); });
  return order;
}

std::string SavedListing(const GoodsTable& table) { return "\xEF\xBB\xBF" + GoodsListing(table); }

std::string ListingFileName(std::string_view goodsPath) {
  const size_t nameAt = goodsPath.find_last_of("\\/:") + 1;  // 0 when there is no folder
  const std::string folder(goodsPath.substr(0, nameAt));
  std::string_view name = goodsPath.substr(nameAt);
  if (name.empty()) return folder + "товары.tsv";
  const size_t dot = name.rfind('.');
  std::string extension;
  if (dot != std::string_view::npos && dot > 0) {
    for (const char c : name.substr(dot)) extension += LowerLatin(c);
    name = name.substr(0, dot);
  }
  return folder + std::string(name) + (extension == ".tsv" ? " (список).tsv" : ".tsv");
}

CheckLayout LayOutCheckWindow(int32_t clientWidth, int32_t clientHeight, int32_t pixelsPer1000X,
                              int32_t pixelsPer1000Y) {
  const auto x = [&](int32_t units) { return Pixels(units, pixelsPer1000X); };
  const auto y = [&](int32_t units) { return Pixels(units, pixelsPer1000Y); };
  const int32_t left = x(kMargin);
  const int32_t right = std::max(left, clientWidth - x(kMargin));
  const int32_t top = y(kMargin);
  const int32_t bottom = std::max(top, clientHeight - y(kMargin));
  CheckLayout layout;
  layout.verdict = {left, top, right, top + y(kVerdictHeight)};
  const int32_t bandTop = bottom - y(kBandHeight);
  layout.close = {right - x(kCloseWidth), bandTop + y(1), right, bandTop + y(1 + kButtonHeight)};
  layout.save = {layout.close.left - x(kGap) - x(kSaveWidth), layout.close.top,
                 layout.close.left - x(kGap), layout.close.bottom};
  layout.hint = {left, bandTop, std::max(left, layout.save.left - x(kMargin)), bottom};
  const int32_t listTop = layout.verdict.bottom + y(kGap);
  layout.list = {left, listTop, right, std::max(listTop, bandTop - y(kGap))};
  for (size_t c = 0; c < kCheckColumns; ++c) layout.columnWidths[c] = x(kColumnUnits[c]);
  return layout;
}

PixelRect PlaceInWorkArea(int32_t width, int32_t height, const PixelRect& workArea) {
  const int32_t areaWidth = workArea.right - workArea.left;
  const int32_t areaHeight = workArea.bottom - workArea.top;
  width = std::min(width, areaWidth);
  height = std::min(height, areaHeight);
  const int32_t left = workArea.left + (areaWidth - width) / 2;
  const int32_t top = workArea.top + (areaHeight - height) / 2;
  return {left, top, left + width, top + height};
}
