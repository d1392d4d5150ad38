#include "goods/number_readers.h"

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
