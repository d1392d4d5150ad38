// The numbers and prices of the goods file's fields, read a piece at a time so that a field
// of any length costs no memory.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

struct PriceResult {
  bool valid = false;
  int32_t value = 0;
};

struct NumberValue {
  int64_t value = 0;      // rounded to the nearest integer, a half to the even neighbour
  bool overflow = false;  // the magnitude does not fit 63 bits; value is then meaningless
};

// Numeric value of a flag field, or of a stored bar code column as the register gets it:
// leading blanks, TABs and line feeds skipped, then an optional sign, digits and an optional
// decimal point with digits; the first other character ends the number; no number gives 0.
// (The code, group and bar code fields of the file must hold one number and nothing else;
// ReadGoodsFile checks that with OneNumberReader.)
NumberValue ParseNumber(std::string_view field);

// The integer part of a number as its digits come, as long as it fits a signed 64-bit value.
struct Magnitude {
  static constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

  uint64_t value = 0;
  bool overflow = false;  // value is then meaningless

  void addDigit(char c);
};

// ParseNumber's rule: the first number in the field, rounded. Only the integer part, the
// first digit after the point and whether any later fraction digit is non-zero matter for
// rounding half to even.
class NumberReader {
 public:
  void feed(std::string_view text);
  NumberValue result() const;

 private:
  enum class Stage { Blanks, Sign, Whole, Fraction, Done };

  void take(char c);

  Stage stage_ = Stage::Blanks;
  bool negative_ = false;
  Magnitude whole_;
  int firstFraction_ = -1;  // the first digit after the point; -1 when there is none
  bool laterFractionNonZero_ = false;
};

// What a code, group or bar code field says. A field with a digit in it must hold one number
// and nothing else: blanks and TABs around it, an optional sign, digits, and at most a "." or
// "," followed by zeros only; so the register can only get the number the file shows. A field
// without any digit is 0.
class OneNumberReader {
 public:
  struct Result {
    bool valid = false;
    bool digit = false;  // the field held a digit
    NumberValue number;
  };

  void feed(std::string_view text);
  Result result() const;

 private:
  // Where the field stands in "blanks, sign, digits, point, zeros, blanks". kOther: text that
  // is no part of a number, harmless while the field has no digit; kDone: a digit and such
  // text were both seen.
  enum Stage { kBlanks, kSign, kWhole, kPoint, kZeros, kTrailing, kOther, kDone };
  enum Kind { kBlank, kSignChar, kZero, kNonZero, kPointChar, kOtherChar };

  static Kind KindOf(char c);
  void take(char c);

  Stage stage_ = kBlanks;
  bool sawDigit_ = false;
  bool negative_ = false;
  Magnitude whole_;
};

// The price rule: the digits joined in their order, blanks and TABs ignored wherever they
// stand, and the separators and decimals counted. A field's value comes in kopecks, or in
// whole units when wholeUnitPrices is set.
class PriceReader {
 public:
  void feed(std::string_view text);
  // A price without any digit (an empty field, a heading in the price column) is no price
  // in either mode: it must never reach the register as 0.
  PriceResult result(bool wholeUnitPrices) const;

 private:
  static constexpr uint64_t kMaxPrice = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

  uint64_t value_ = 0;
  bool sawDigit_ = false;
  bool tooLarge_ = false;
  int separators_ = 0;  // more than 1 can never become valid again, so it stops at 2
  int decimals_ = 0;    // 1 right after a separator, then one more per digit; stops at 4
};
