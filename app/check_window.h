// The check window: what a check run ("/t") shows on Windows of a file that would load. The
// verdict, the goods in a list of seven columns as the register will hold them, and a button
// that saves them as the Linux listing. Its content and its layout are plain C++; the window
// itself is check_window_win32.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "goods/goods_table.h"

inline constexpr size_t kCheckColumns = 7;

// The columns' headings (Windows-1251): строка, код, название, штрих-код, цена, группа,
// признак.
std::array<std::string, kCheckColumns> CheckColumnHeadings();

// One item as the window lists it: its seven texts (Windows-1251) and what it sorts by.
struct CheckRow {
  std::array<std::string, kCheckColumns> texts;
  std::array<int64_t, kCheckColumns> keys{};  // the name sorts by its text instead
  bool repeated = false;                      // another item has the same code
};

// The price as the window shows it: roubles and kopecks, "42,90"; with "/r" whole roubles.
std::string PriceText(int32_t price, bool wholeUnitPrices);

// Items 1..GoodsCount in file order: the item's line (or the sheet's row), its code, its name
// as the listing gives it, the bar code's number, the price, the group and the flag. The
// code of an item whose code another item has too reads "102 (повтор)".
std::vector<CheckRow> CheckRows(const GoodsTable& table, bool wholeUnitPrices);

// The order of the rows (their indices) by one column, ascending or descending; rows that
// tie keep their file order.
std::vector<size_t> SortedRows(const std::vector<CheckRow>& rows, size_t column, bool descending);

// What the Save button writes: the listing "tally /t" prints on Linux, after the UTF-8
// byte-order mark by which a spreadsheet takes it for UTF-8.
std::string SavedListing(const GoodsTable& table);

// The name the Save dialog offers (UTF-8): the goods file's path with ".tsv" for its
// extension; " (список).tsv" when the goods file is itself a .tsv, so that it is never
// offered for overwriting; "товары.tsv" when the path names no file.
std::string ListingFileName(std::string_view goodsPath);

// A rectangle in pixels.
struct PixelRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The window's client area in dialog units, as created and at its smallest.
constexpr int32_t kCheckWindowWidthUnits = 460;
constexpr int32_t kCheckWindowHeightUnits = 300;
constexpr int32_t kCheckWindowMinWidthUnits = 300;
constexpr int32_t kCheckWindowMinHeightUnits = 180;

// Where the controls stand in a client area of the given size: the verdict across the top,
// the list below it, the buttons at the bottom right with the hint beside them; and the
// columns' widths. Dialog units are turned into pixels by what 1000 units measure across and
// down on this display.
struct CheckLayout {
  PixelRect verdict;
  PixelRect list;
  PixelRect hint;
  PixelRect save;
  PixelRect close;
  std::array<int32_t, kCheckColumns> columnWidths{};
};
CheckLayout LayOutCheckWindow(int32_t clientWidth, int32_t clientHeight, int32_t pixelsPer1000X,
                              int32_t pixelsPer1000Y);

// A window of the given size placed in the work area: centred, and no larger than it.
PixelRect PlaceInWorkArea(int32_t width, int32_t height, const PixelRect& workArea);

#ifdef _WIN32
// Shows the check window for a file that would load and returns once the user has closed it;
// false when the window could not be made. goodsPath is the goods file's name (UTF-8).
bool ShowCheckWindow(const GoodsTable& table, const std::string& verdict,
                     const std::string& goodsPath, bool wholeUnitPrices);
#endif
