#include "goods/number_readers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

// A whole price field in one piece.
PriceResult ParsePrice(std::string_view field, bool wholeUnitPrices) {
  PriceReader reader;
  reader.feed(field);
  return reader.result(wholeUnitPrices);
}

// ---------------------------------------------------------------------------------------
// Price rule

TEST(ParsePrice, BothModes) {
  struct Case {
    std::string field;
    int64_t kopecks;  // -1: invalid
    int64_t wholeUnits;
  };
  const Case cases[] = {
      {"12.50", 1250, -1},
      {"12,50", 1250, -1},
      {"1 234.50", 123450, -1},
      {"1\xA0"
       "234.50",
       -1, -1},  // a no-break space is no blank
      {".05", 5, -1},
      {"0.00", 0, -1},
      {"12", -1, 12},
      {"12.5", -1, -1},
      {"12.500", -1, -1},
      {"1.234,50", -1, -1},
      {"-5.00", -1, -1},
      {"12.50\xF0", -1, -1},  // "р"
      {"", -1, -1},           // no digit: no price in either mode
      // Blanks and TABs count nowhere, wherever they stand.
      {" \t12 .5 0\t", 1250, -1},
      {"1 2", -1, 12},
      {"\t", -1, -1},
      {" ", -1, -1},
      {"\xCC\xCE\xCB\xCE\xCA\xCE", -1, -1},  // "МОЛОКО", a heading
      {".", -1, -1},
      {"12.", -1, -1},
      {"00000000000000000012.50", 1250, -1},
      {"12..50", -1, -1},
      {"12.5a0", -1, -1},
      {"+12.50", -1, -1},
      // The largest value a Price holds, and one more.
      {"21474836.47", 2147483647, -1},
      {"21474836.48", -1, -1},
      {"2147483647", -1, 2147483647},
      {"2147483648", -1, -1},
      {"99999999999999999999999.99", -1, -1},
      {"99999999999999999999999", -1, -1},
  };
  for (const Case& c : cases) {
    for (const bool wholeUnits : {false, true}) {
      // The field as split off the line ends with its TAB; the outcome is the same.
      for (const std::string& field : {c.field, c.field + "\t"}) {
        const int64_t expected = wholeUnits ? c.wholeUnits : c.kopecks;
        const PriceResult r = ParsePrice(field, wholeUnits);
        EXPECT_EQ(r.valid, expected >= 0) << "'" << field << "' wholeUnits=" << wholeUnits;
        if (expected >= 0 && r.valid) {
          EXPECT_EQ(r.value, expected) << "'" << field << "'";
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// Numeric value rule

TEST(ParseNumber, ValueRule) {
  struct Case {
    std::string field;
    int64_t value;
  };
  const Case cases[] = {
      {"", 0},
      {"42", 42},
      {"42\t", 42},
      {" \t\n 42", 42},
      {"+7", 7},
      {"-7", -7},
      {"-0", 0},
      {"12abc", 12},
      {"abc12", 0},
      {"1 2", 1},
      {"- 5", 0},
      {"-", 0},
      {".", 0},
      {"5.", 5},
      {"\r5", 0},  // only blanks, TABs and line feeds are skipped
      {"\xA0"
       "5",
       0},
      {"1.2.3", 1},
      {"1,5", 1},  // a comma is no decimal point here
      // Exponents and hexadecimal prefixes are not numbers: the number ends before them.
      {"1e5", 1},
      {"1E5", 1},
      {"2.5e3", 2},
      {"0x1F", 0},
      {"&H10", 0},
      {"&O17", 0},
      // Nearest integer, a half to the even neighbour.
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"-3.5", -4},
      {"0.5", 0},
      {"1.5", 2},
      {".5", 0},
      {".6", 1},
      {"2.49999", 2},
      {"2.50001", 3},
      {"2.500000", 2},
      {"2.51", 3},
      {"7.4", 7},
      {"-7.6", -8},
      {"65535.5", 65536},
      // Leading zeros never overflow.
      {"000000000000000000000000000000000001", 1},
      {"9223372036854775807", std::numeric_limits<int64_t>::max()},
      {"-9223372036854775807", -std::numeric_limits<int64_t>::max()},
      {"9223372036854775806.5", 9223372036854775806},
      {"9223372036854775807.4", std::numeric_limits<int64_t>::max()},
  };
  for (const Case& c : cases) {
    const NumberValue n = ParseNumber(c.field);
    EXPECT_FALSE(n.overflow) << "'" << c.field << "'";
    EXPECT_EQ(n.value, c.value) << "'" << c.field << "'";
  }
}

TEST(ParseNumber, MagnitudeBeyond63BitsOverflows) {
  for (const char* field :
       {"9223372036854775808", "-9223372036854775808", "9223372036854775807.5",
        "99999999999999999999", "123456789012345678901234567890.0", "-99999999999999999999"}) {
    EXPECT_TRUE(ParseNumber(field).overflow) << field;
  }
}

}  // namespace
