#include "app/check_run.h"

#include <gtest/gtest.h>

#include <vector>

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
