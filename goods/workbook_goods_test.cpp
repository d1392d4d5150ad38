#include "goods/workbook_goods.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A workbook's number as the goods file would hold it; "-" where it is no number to write out.
TEST(PlainDecimal, WorkbookNumbers) {
  const struct {
    const char* number;
    size_t minFraction;
    const char* plain;
  } cases[] = {
      {"4607001001010", 0, "4607001001010"},
      {"4.60700100101E12", 0, "4607001001010"},
      {"89.9", 2, "89,90"},
      {"89.9", 0, "89,9"},
      {"150", 2, "150,00"},
      {"0.05", 2, "0,05"},
      {"1.5E-3", 0, "0,0015"},
      {"12.345", 2, "12,345"},
      {"42.9000000000000000014", 2, "42,90"},  // digits beyond the 15th are the sheet's noise
      {"98.890000000000001", 2, "98,89"},
      {"1.000000000000005", 0, "1,00000000000001"},  // the 16th digit rounds the 15th
      {"1.000000000000004", 0, "1"},
      {"0.99999999999999999", 0, "1"},
      {"102", 0, "102"},
      {"-5", 2, "-5,00"},
      {"-0", 0, "0"},
      {"1E+39", 0, "1000000000000000000000000000000000000000"},
      {"1E+40", 0, "-"},
      {"NaN", 0, "-"},
      {"1.2.3", 0, "-"},
      {"1E", 0, "-"},
      {"", 0, "-"},
  };
  for (const auto& c : cases) {
    std::string plain = "-";
    if (!PlainDecimal(c.number, c.minFraction, plain)) plain = "-";
    EXPECT_EQ(plain, c.plain) << c.number;
  }
}

}  // namespace
