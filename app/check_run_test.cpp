#include "app/check_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/check_window.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

// A table of items with these codes, item n on line n + 1 (after a "<start>" line).
GoodsTable TableOfCodes(const std::vector<int32_t>& codes) {
  GoodsTable table;
  table.create();
  for (const int32_t code : codes) {
    const auto i = static_cast<size_t>(++table.GoodsCount);
    table.Code[i] = code;
    table.Line[i] = table.GoodsCount + 1;
  }
  return table;
}

}  // namespace

TEST(GoodsCountText, RussianPlural) {
  const struct {
    int64_t count;
    const char* text;
  } cases[] = {
      {0, "0 товаров"},     {1, "1 товар"},       {2, "2 товара"},        {4, "4 товара"},
      {5, "5 товаров"},     {11, "11 товаров"},   {12, "12 товаров"},     {14, "14 товаров"},
      {21, "21 товар"},     {22, "22 товара"},    {25, "25 товаров"},     {101, "101 товар"},
      {111, "111 товаров"}, {112, "112 товаров"}, {3000, "3000 товаров"},
  };
  for (const auto& c : cases) EXPECT_EQ(GoodsCountText(c.count), Utf8ToCp1251(c.text)) << c.count;
}

TEST(CheckedFileText, RepeatedCodesInFileOrderAtMostFive) {
  const struct {
    std::vector<int32_t> codes;
    const char* text;
    const char* sheet = "";
  } cases[] = {
      {{}, "Файл товаров в порядке: 0 товаров"},
      {{101, 101},
       "Файл товаров в порядке: 2 товара (лист «Прайс»); коды повторяются: 101 (строки 2, 3)",
       "Прайс"},
      // One code on every line: the first five lines, and how many more.
      {std::vector<int32_t>(3000, 102),
       "Файл товаров в порядке: 3000 товаров; коды повторяются: 102 (строки 2, 3, 4, 5, 6 и ещё "
       "2995)"},
      {{101, 102, 103}, "Файл товаров в порядке: 3 товара"},
      {{102, 5, 102}, "Файл товаров в порядке: 3 товара; коды повторяются: 102 (строки 2, 4)"},
      {{7, 3, 3, 7, 3},
       "Файл товаров в порядке: 5 товаров; коды повторяются: 7 (строки 2, 5), 3 (строки 3, 4, 6)"},
      {{1, 2, 1, 3, 2, 3, 4, 4, 5, 9, 5, 6, 6, 7, 7, 8},
       "Файл товаров в порядке: 16 товаров; коды повторяются: 1 (строки 2, 4), 2 (строки 3, 6), "
       "3 (строки 5, 7), 4 (строки 8, 9), 5 (строки 10, 12); и ещё 2"},
  };
  for (const auto& c : cases) {
    GoodsTable table = TableOfCodes(c.codes);
    table.Sheet = Utf8ToCp1251(c.sheet);
    EXPECT_EQ(CheckedFileText(table), Utf8ToCp1251(c.text));
  }
}

TEST(GoodsListing, WhatTheRegisterWillHold) {
  GoodsTable table = TableOfCodes({101, 7});
  // As the reader stores them: the field with its TAB, padded or cut to the column.
  table.Name[1] = Utf8ToCp1251("Хлеб Coca\x1b") + "\t" + std::string(13, ' ');
  table.Name[2] = Utf8ToCp1251("Молоко очень длинное наз");  // "...название", cut
  table.Barcode[1] = "0460700100101\t";
  table.Barcode[2] = "\t" + std::string(13, ' ');
  table.Price[1] = 4290;
  table.Group[1] = 255;
  table.Flag[2] = 1;
  table.Line[2] = 9;
  EXPECT_EQ(GoodsListing(table),
            "101\thleb COCA?\t460700100101\t4290\t255\t0\t2\n"
            "7\tmoloko o~enx dlinnoe naz\t0\t0\t0\t1\t9\n");
}

// The check window's rows: the listing's texts with the line first, the price in roubles and
// kopecks, a repeated code marked; sorted by a column either way, ties in file order.
TEST(CheckWindow, RowsAsTheRegisterWillHoldThem) {
  GoodsTable table = TableOfCodes({102, 7, 102});
  for (size_t i = 1; i <= 3; ++i) table.Name[i] = std::string(24, ' ');
  table.Name[1] = Utf8ToCp1251("Хлеб\t") + std::string(19, ' ');
  table.Barcode[1] = "4607001001010\t";
  table.Price = {0, 4290, 5, 0};
  table.Group[3] = 255;
  table.Flag[3] = 1;
  const std::vector<CheckRow> rows = CheckRows(table, false);
  const std::string repeated = Utf8ToCp1251("102 (повтор)");
  const std::vector<std::array<std::string, kCheckColumns>> expected = {
      {"2", repeated, "hleb", "4607001001010", "42,90", "0", "0"},
      {"3", "7", "", "0", "0,05", "0", "0"},
      {"4", repeated, "", "0", "0,00", "255", "1"},
  };
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(rows[r].texts, expected[r]) << r;
  EXPECT_EQ(CheckRows(table, true)[0].texts[4], "4290");
  EXPECT_EQ(SavedListing(table).substr(0, 11),
            "\xEF\xBB\xBF"
            "102\thleb");
  EXPECT_EQ(Cp1251ToUtf8(CheckColumnHeadings()[3]), "штрих-код");
  const struct {
    size_t column;
    bool descending;
    std::vector<size_t> order;
  } sorts[] = {{1, false, {1, 0, 2}},
               {1, true, {0, 2, 1}},
               {4, false, {2, 1, 0}},
               {2, false, {1, 2, 0}},
               {6, true, {2, 0, 1}}};
  for (const auto& s : sorts) EXPECT_EQ(SortedRows(rows, s.column, s.descending), s.order);
  const char* const names[][2] = {{"C:\\Магазин\\товары.txt", "C:\\Магазин\\товары.tsv"},
                                  {"прайс.v2.XLSX", "прайс.v2.tsv"},
                                  {"C:\\list.TSV", "C:\\list (список).tsv"},
                                  {"C:\\Выгрузка\\", "C:\\Выгрузка\\товары.tsv"}};
  for (const auto& n : names) EXPECT_EQ(ListingFileName(n[0]), n[1]);
}

// At 1024 x 768, with a taskbar 40 pixels high and without, for the dialog font at 96, 120
// and 144 dots per inch (dialog units of 6 x 13, 7 x 16 and 9 x 19 pixels to four across and
// eight down): the window fits the work area, centred, and the controls lie in the client
// area in their order, clear of each other, the list ten rows high at least.
TEST(CheckWindow, LayoutAt1024x768) {
  const int32_t displays[][4] = {{1500, 1625, 16, 39}, {1750, 2000, 20, 47}, {2250, 2375, 24, 56}};
  for (const int32_t workHeight : {768, 728}) {
    for (const auto& [x, y, frameWidth, frameHeight] : displays) {
      const PixelRect w = PlaceInWorkArea(kCheckWindowWidthUnits * x / 1000 + frameWidth,
                                          kCheckWindowHeightUnits * y / 1000 + frameHeight,
                                          {0, 0, 1024, workHeight});
      EXPECT_TRUE(w.left >= 0 && w.top >= 0 && w.right <= 1024 && w.bottom <= workHeight &&
                  std::abs(w.left + w.right - 1024) <= 1);
      const int32_t width = w.right - w.left - frameWidth;
      const int32_t height = w.bottom - w.top - frameHeight;
      const CheckLayout l = LayOutCheckWindow(width, height, x, y);
      EXPECT_TRUE(0 < l.verdict.left && 0 < l.verdict.top && l.verdict.right < width &&
                  l.verdict.bottom < l.list.top && l.list.bottom < l.hint.top &&
                  l.hint.right < l.save.left && l.save.right < l.close.left &&
                  l.close.right < width && l.hint.bottom < height && l.close.bottom < height &&
                  l.hint.top < l.save.top && l.list.right == l.close.right)
          << x << " " << workHeight;
      EXPECT_GE(l.list.bottom - l.list.top, 10 * 13 * y / 1625);
    }
  }
  // At 96 dots per inch, unhindered: 690 x 488 pixels of client area.
  const CheckLayout l = LayOutCheckWindow(690, 488, 1500, 1625);
  EXPECT_EQ(std::vector<int32_t>({l.list.left, l.list.top, l.list.right, l.list.bottom,
                                  l.close.left, l.close.top, l.save.left, l.hint.right}),
            std::vector<int32_t>({11, 70, 679, 444, 604, 453, 463, 452}));
}
