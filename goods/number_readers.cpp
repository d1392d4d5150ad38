#include "goods/number_readers.h"

#include <algorithm>
#include <string>

namespace {

constexpr char kTab = '\t';
constexpr char kLineFeed = '\n';

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c) { return c - '0'; }

bool IsSign(char c) { return c == '+' || c == '-'; }

}  // namespace

void Magnitude::addDigit(char c) {
  if (overflow) return;
  const auto d = static_cast<uint64_t>(DigitValue(c));
  if (value > (kLimit - d) / 10) {
    overflow = true;
    return;
  }
  value = value * 10 + d;
}

void NumberReader::feed(std::string_view text) {
  for (const char c : text) {
    if (stage_ == Stage::Done) return;
    take(c);
  }
}

NumberValue NumberReader::result() const {
  if (whole_.overflow) return {0, true};
  uint64_t magnitude = whole_.value;
  const bool roundUp = firstFraction_ > 5 ||
                       (firstFraction_ == 5 && (laterFractionNonZero_ || (magnitude & 1U) != 0));
  if (roundUp) {
    if (magnitude == Magnitude::kLimit) return {0, true};
    ++magnitude;
  }
  const auto value = static_cast<int64_t>(magnitude);
  return {negative_ ? -value : value, false};
}

void NumberReader::take(char c) {
  switch (stage_) {
    case Stage::Blanks:
      if (c == ' ' || c == kTab || c == kLineFeed) return;
      if (IsSign(c)) {
        negative_ = c == '-';
        stage_ = Stage::Sign;
        return;
      }
      [[fallthrough]];
    case Stage::Sign:
    case Stage::Whole:
      if (IsDigit(c)) {
        whole_.addDigit(c);
        stage_ = Stage::Whole;
      } else if (c == '.') {
        stage_ = Stage::Fraction;
      } else {
        stage_ = Stage::Done;
      }
      return;
    case Stage::Fraction:
      if (!IsDigit(c)) {
        stage_ = Stage::Done;
      } else if (firstFraction_ < 0) {
        firstFraction_ = DigitValue(c);
      } else if (c != '0') {
        laterFractionNonZero_ = true;
      }
      return;
    case Stage::Done:
      return;
  }
}

void OneNumberReader::feed(std::string_view text) {
  for (const char c : text) {
    if (stage_ == kDone) return;
    take(c);
  }
}

OneNumberReader::Result OneNumberReader::result() const {
  if (stage_ == kDone) return {false, true, {}};
  if (whole_.overflow) return {true, true, {0, true}};
  const auto value = static_cast<int64_t>(whole_.value);
  return {true, sawDigit_, {negative_ ? -value : value, false}};
}

OneNumberReader::Kind OneNumberReader::KindOf(char c) {
  if (c == ' ' || c == kTab) return kBlank;
  if (c == '+' || c == '-') return kSignChar;
  if (c == '0') return kZero;
  if (IsDigit(c)) return kNonZero;
  if (c == '.' || c == ',') return kPointChar;
  return kOtherChar;
}

void OneNumberReader::take(char c) {
  // The stage after a byte of each kind, for the stages of the number itself.
  // clang-format off
  static constexpr Stage kNext[kOther][kOtherChar + 1] = {
      // blank     sign    zero    non-zero  point   other
      {kBlanks,   kSign,  kWhole, kWhole,   kPoint, kOther},  // kBlanks
      {kOther,    kOther, kWhole, kWhole,   kPoint, kOther},  // kSign
      {kTrailing, kOther, kWhole, kWhole,   kPoint, kOther},  // kWhole
      {kTrailing, kOther, kZeros, kOther,   kOther, kOther},  // kPoint
      {kTrailing, kOther, kZeros, kOther,   kOther, kOther},  // kZeros
      {kTrailing, kOther, kOther, kOther,   kOther, kOther},  // kTrailing
  };
  // clang-format on
  const Kind kind = KindOf(c);
  if (kind == kZero || kind == kNonZero) sawDigit_ = true;
  const Stage next = stage_ == kOther ? kOther : kNext[stage_][kind];
  if (next == kOther) {
    stage_ = sawDigit_ ? kDone : kOther;
    return;
  }
  if (next == kSign) negative_ = c == '-';
  if (next == kWhole) whole_.addDigit(c);
  stage_ = next;
}

void PriceReader::feed(std::string_view text) {
  bool digit = false;  // kept apart from sawDigit_ so the loop stores nothing more per byte
  for (const char c : text) {
    if (IsDigit(c)) {
      digit = true;
      if (!tooLarge_) {
        value_ = value_ * 10 + static_cast<uint64_t>(DigitValue(c));
        tooLarge_ = value_ > kMaxPrice;
      }
      if (decimals_ > 0 && decimals_ < 4) ++decimals_;
    } else if (c == kTab || c == ' ') {
      continue;
    } else if (c == '.' || c == ',') {
      decimals_ = 1;
      if (separators_ < 2) ++separators_;
    } else {
      separators_ = 2;
    }
    if (separators_ == 2 || tooLarge_) break;  // invalid in both modes, whatever follows
  }
  if (digit) sawDigit_ = true;
}

PriceResult PriceReader::result(bool wholeUnitPrices) const {
  const bool formOk =
      wholeUnitPrices ? separators_ == 0 && decimals_ == 0 : separators_ <= 1 && decimals_ == 3;
  if (!formOk || !sawDigit_ || tooLarge_) return {};
  return {true, static_cast<int32_t>(value_)};
}

NumberValue ParseNumber(std::string_view field) {
  NumberReader reader;
  reader.feed(field);
  return reader.result();
}

bool PlainDecimal(std::string_view number, size_t minFraction, std::string& plain) {
  constexpr size_t kSignificant = 15;
  constexpr int64_t kLongest = 40;
  size_t i = 0;
  const bool negative = i < number.size() && number[i] == '-';
  if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
  // The digits, and where the point stands among them (0: before the first).
  std::string digits;
  int64_t point = 0;
  bool sawPoint = false;
  bool sawDigit = false;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else if (c >= '0' && c <= '9') {
      sawDigit = true;
      if (digits.empty() && c == '0') {  // a leading zero
        if (sawPoint) --point;
        continue;
      }
      digits += c;
      if (!sawPoint) ++point;
    } else {
      break;
    }
  }
  if (!sawDigit) return false;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    const bool down = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    int64_t exponent = 0;
    const size_t first = i;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (i == first) return false;
    point += down ? -exponent : exponent;
  }
  if (i != number.size()) return false;

  if (digits.size() > kSignificant) {
    const bool up = digits[kSignificant] >= '5';
    digits.resize(kSignificant);
    for (size_t d = kSignificant; up && d-- > 0;) {
      if (digits[d] != '9') {
        ++digits[d];
        break;
      }
      digits[d] = '0';
      if (d == 0) {  // 999... became 1000...
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++point;
      }
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) point = 0;  // zero, of whatever sign
  if (point > kLongest || -point > kLongest) return false;

  std::string whole = "0";
  std::string fraction;
  const auto size = static_cast<int64_t>(digits.size());
  if (point > 0) {
    whole = digits.substr(0, static_cast<size_t>(std::min(point, size)));
    whole.append(static_cast<size_t>(std::max<int64_t>(0, point - size)), '0');
    if (point < size) fraction = digits.substr(static_cast<size_t>(point));
  } else {
    fraction = std::string(static_cast<size_t>(-point), '0') + digits;
  }
  if (fraction.size() < minFraction) fraction.append(minFraction - fraction.size(), '0');
  plain = (negative && !digits.empty() ? "-" : "") + whole;
  if (!fraction.empty()) plain += "," + fraction;
  return true;
}
