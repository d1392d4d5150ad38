#include "goods/goods_file.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "text/cp1251.h"
#include "goods/input_file.h"

namespace {

constexpr char kTab = '\t';
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfFile = '\x1A';  // everything after it is not part of the file

constexpr size_t kChunkSize = 64 * 1024;  // bytes read from the file at a time
constexpr std::string_view kStartMarker = "<start>";
constexpr std::string_view kEndMarker = "<end>";
constexpr size_t kMarkerPrefix = 7;  // the longest marker; later bytes of the line never count

// What the register can take: Code goes as 16 bits, Group as 8 bits.
constexpr int64_t kMaxCode = 65535;
constexpr int64_t kMaxGroup = 255;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c) { return c - '0'; }

char LowerLatin(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The numeric value of a field, read a piece at a time so that a field of any length costs
// no memory: only the integer part, the first digit after the point and whether any later
// fraction digit is non-zero matter for rounding half to even.
class NumberReader {
 public:
  void feed(std::string_view text) {
    for (const char c : text) {
      if (stage_ == Stage::Done) return;
      take(c);
    }
  }

  NumberValue result() const {
    if (overflow_) return {0, true};
    uint64_t magnitude = magnitude_;
    const bool roundUp = firstFraction_ > 5 ||
                         (firstFraction_ == 5 && (laterFractionNonZero_ || (magnitude & 1U) != 0));
    if (roundUp) {
      if (magnitude == kLimit) return {0, true};
      ++magnitude;
    }
    const auto value = static_cast<int64_t>(magnitude);
    return {negative_ ? -value : value, false};
  }

 private:
  enum class Stage { Blanks, Sign, Whole, Fraction, Done };
  static constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

  void take(char c) {
    switch (stage_) {
      case Stage::Blanks:
        if (c == ' ' || c == kTab || c == kLineFeed) return;
        if (c == '+' || c == '-') {
          negative_ = c == '-';
          stage_ = Stage::Sign;
          return;
        }
        [[fallthrough]];
      case Stage::Sign:
      case Stage::Whole:
        if (IsDigit(c)) {
          addWholeDigit(DigitValue(c));
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

  void addWholeDigit(int digit) {
    if (overflow_) return;
    const auto d = static_cast<uint64_t>(digit);
    if (magnitude_ > (kLimit - d) / 10) {
      overflow_ = true;
      return;
    }
    magnitude_ = magnitude_ * 10 + d;
  }

  Stage stage_ = Stage::Blanks;
  bool negative_ = false;
  uint64_t magnitude_ = 0;
  bool overflow_ = false;
  int firstFraction_ = -1;  // the first digit after the point; -1 when there is none
  bool laterFractionNonZero_ = false;
};

// A field fitted to a fixed-width column: cut to width, or padded with blanks.
std::string Fit(std::string_view field, size_t width) {
  std::string column(field.substr(0, width));
  column.resize(width, ' ');
  return column;
}

std::string Quoted(std::string_view utf8Lead, std::string_view field) {
  return W1251(utf8Lead) + std::string(field) + "'";
}

enum class Outcome { Reading, Finished, Refused };

// Splits the file into lines and goods lines into fields as the bytes come, and stores each
// goods line as the next item of the table. A line may be of any length: every byte is
// looked at once, and only what a column or a message can need is kept.
class GoodsReader {
 public:
  GoodsReader(bool wholeUnitPrices, GoodsTable& table, const MessageSink& show)
      : wholeUnitPrices_(wholeUnitPrices), table_(table), show_(show) {}

  Outcome feed(const char* data, size_t size) {
    const char* p = data;
    const char* const end = data + size;
    while (p < end) {
      if (afterCarriageReturn_) {
        afterCarriageReturn_ = false;
        if (*p == kLineFeed) {  // CR LF is one line end
          ++p;
          continue;
        }
      }
      const char c = *p;
      if (c == kEndOfFile) return finish();
      if (c == kCarriageReturn || c == kLineFeed) {
        ++p;
        afterCarriageReturn_ = c == kCarriageReturn;
        if (!endLine()) return Outcome::Refused;
        continue;
      }
      if (line_ == Line::Fresh && !beginLine(c)) return Outcome::Refused;
      p = line_ == Line::Goods ? takeGoodsBytes(p, end) : takeOtherBytes(p, end);
    }
    return Outcome::Reading;
  }

  // The end of the file (its physical end or a 0x1A byte): the text of an unfinished line
  // is the last line; nothing after a line end is a line of its own.
  Outcome finish() {
    if (line_ != Line::Fresh && !endLine()) return Outcome::Refused;
    return Outcome::Finished;
  }

 private:
  enum class Line { Fresh, Marker, Goods, Skipped };
  enum Field { kCode, kName, kBarcode, kPrice, kGroup, kFlag, kFieldCount };

  static bool IsLineBreak(char c) {
    return c == kCarriageReturn || c == kLineFeed || c == kEndOfFile;
  }

  // Decides what the line is from its first byte.
  bool beginLine(char first) {
    if (first == '<') {
      line_ = Line::Marker;
      return true;
    }
    if (!reading_) {
      line_ = Line::Skipped;
      return true;
    }
    return beginGoodsLine();
  }

  bool beginGoodsLine() {
    if (table_.GoodsCount >= kGoodsCapacity) {
      show_(W1251("Слишком много товаров в файле (больше 3000)"), kIconError);
      return false;
    }
    ++table_.GoodsCount;
    line_ = Line::Goods;
    field_ = kCode;
    for (std::string& text : texts_) {
      // A field of a huge earlier line gives its memory back instead of keeping it.
      if (text.capacity() > kChunkSize) {
        std::string().swap(text);
      } else {
        text.clear();
      }
    }
    flag_ = NumberReader();
    return true;
  }

  // Bytes of a marker line or of a line that is not read: only a marker's first bytes count.
  const char* takeOtherBytes(const char* p, const char* end) {
    const char* stop = p;
    while (stop < end && !IsLineBreak(*stop)) ++stop;
    if (line_ == Line::Marker) {
      for (; p < stop && marker_.size() < kMarkerPrefix; ++p) marker_ += LowerLatin(*p);
    }
    return stop;
  }

  // Bytes of a goods line up to the next TAB or line end; a TAB completes the field.
  const char* takeGoodsBytes(const char* p, const char* end) {
    const char* stop = p;
    while (stop < end && *stop != kTab && !IsLineBreak(*stop)) ++stop;
    const bool tab = stop < end && *stop == kTab;
    if (tab) ++stop;  // the TAB belongs to its field
    const std::string_view piece(p, static_cast<size_t>(stop - p));
    switch (field_) {
      case kName:  // only what fits the column is kept
        if (texts_[kName].size() < kNameWidth) {
          texts_[kName].append(piece.substr(0, kNameWidth - texts_[kName].size()));
        }
        break;
      case kFlag:
        flag_.feed(piece);
        break;
      case kFieldCount:  // text after the sixth TAB is ignored
        break;
      default:  // a field a message may quote whole
        texts_[field_].append(piece);
        break;
    }
    if (tab && field_ < kFieldCount) field_ = static_cast<Field>(field_ + 1);
    return stop;
  }

  bool endLine() {
    const Line line = line_;
    line_ = Line::Fresh;
    switch (line) {
      case Line::Fresh:  // an empty line
        if (!reading_) return true;
        if (!beginGoodsLine()) return false;
        line_ = Line::Fresh;
        return storeItem();
      case Line::Marker: {
        const std::string_view marker = marker_;
        if (marker.starts_with(kStartMarker)) reading_ = true;
        if (marker.starts_with(kEndMarker)) reading_ = false;
        marker_.clear();
        return true;
      }
      case Line::Goods:
        return storeItem();
      case Line::Skipped:
        return true;
    }
    return true;
  }

  // A field whose TAB never came is empty.
  std::string_view field(Field f) const {
    return f < field_ ? std::string_view(texts_[f]) : std::string_view();
  }

  bool refuse(std::string_view utf8Lead, std::string_view text) {
    show_(Quoted(utf8Lead, text), kIconError);
    return false;
  }

  // Stores the finished goods line as item GoodsCount, checking its fields in the order the
  // columns are filled; the first field the register would not receive as written refuses
  // the whole file.
  bool storeItem() {
    const int32_t item = table_.GoodsCount;

    const NumberValue code = ParseNumber(field(kCode));
    if (code.overflow || code.value < 0 || code.value > kMaxCode) {
      return refuse("Недопустимый код товара: '", field(kCode));
    }
    table_.Code[item] = static_cast<int32_t>(code.value);

    table_.Name[item] = Fit(field(kName), kNameWidth);
    table_.Barcode[item] = Fit(field(kBarcode), kBarcodeWidth);
    // The register gets the number of the 14 stored bytes; it must be the file's number.
    const NumberValue written = ParseNumber(field(kBarcode));
    const NumberValue stored = ParseNumber(table_.Barcode[item]);
    if (written.overflow || written.value < 0 || stored.overflow || stored.value != written.value) {
      return refuse("Недопустимый штрих-код: '", field(kBarcode));
    }

    const PriceResult price = ParsePrice(field(kPrice), wholeUnitPrices_);
    if (!price.valid) return refuse("Недопустимая цена: '", field(kPrice));
    table_.Price[item] = price.value;

    const NumberValue group = ParseNumber(field(kGroup));
    if (group.overflow || group.value < 0 || group.value > kMaxGroup) {
      return refuse("Недопустимый номер группы: '", field(kGroup));
    }
    table_.Group[item] = static_cast<int32_t>(group.value);

    const NumberValue flag = field_ > kFlag ? flag_.result() : NumberValue{};
    table_.Flag[item] = flag.overflow || flag.value != 0 ? 1 : 0;
    return true;
  }

  const bool wholeUnitPrices_;
  GoodsTable& table_;
  const MessageSink& show_;

  bool reading_ = false;  // between a "<start>" line and an "<end>" line
  Line line_ = Line::Fresh;
  bool afterCarriageReturn_ = false;
  std::string marker_;   // the first bytes of a marker line, Latin letters lowered
  Field field_ = kCode;  // the field being read; fields before it have their TAB
  std::string texts_[kFieldCount];
  NumberReader flag_;
};

}  // namespace

bool ReadGoodsFile(const std::string& fileName, bool wholeUnitPrices, GoodsTable& table,
                   const MessageSink& show) {
  table.create();
  const auto cannotRead = [&] { show(W1251("Не могу открыть файл: ") + fileName, kIconError); };
  InputFile file;
  if (!file.open(fileName)) {
    cannotRead();
    return false;
  }
  GoodsReader reader(wholeUnitPrices, table, show);
  std::vector<char> chunk(kChunkSize);
  Outcome outcome = Outcome::Reading;
  while (outcome == Outcome::Reading) {
    const int64_t count = file.read(chunk.data(), chunk.size());
    if (count < 0) {
      // A file that breaks off while being read is as unreadable as one that won't open.
      cannotRead();
      outcome = Outcome::Refused;
    } else {
      outcome =
          count == 0 ? reader.finish() : reader.feed(chunk.data(), static_cast<size_t>(count));
    }
  }
  file.close();
  if (outcome == Outcome::Refused) {
    table.GoodsCount = 0;  // a refused file leaves nothing that could be sent
    return false;
  }
  return true;
}

PriceResult ParsePrice(std::string_view field, bool wholeUnitPrices) {
  constexpr uint64_t kMaxPrice = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
  uint64_t value = 0;
  bool tooLarge = false;
  int separators = 0;  // more than 1 can never become valid again, so it stops at 2
  int decimals = 0;    // 1 right after a separator, then one more per digit; stops at 4
  for (const char c : field) {
    if (IsDigit(c)) {
      if (!tooLarge) {
        value = value * 10 + static_cast<uint64_t>(DigitValue(c));
        tooLarge = value > kMaxPrice;
      }
      if (decimals > 0 && decimals < 4) ++decimals;
    } else if (c == kTab || c == ' ') {
      continue;
    } else if (c == '.' || c == ',') {
      decimals = 1;
      if (separators < 2) ++separators;
    } else {
      separators = 2;
    }
  }
  const bool formOk =
      wholeUnitPrices ? separators == 0 && decimals == 0 : separators <= 1 && decimals == 3;
  if (!formOk || tooLarge) return {};
  return {true, static_cast<int32_t>(value)};
}

NumberValue ParseNumber(std::string_view field) {
  NumberReader reader;
  reader.feed(field);
  return reader.result();
}
