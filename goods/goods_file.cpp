#include "goods/goods_file.h"

#include <algorithm>
#include <cstdint>

#include "goods/goods_encoding.h"
#include "goods/input_file.h"
#include "goods/number_readers.h"
#include "goods/workbook_goods.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

constexpr char kTab = '\t';
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfFile = '\x1A';  // everything after it is not part of the file

constexpr std::string_view kStartMarker = "<start>";
constexpr std::string_view kEndMarker = "<end>";
// The longest marker's length; later bytes of the line never count.
constexpr size_t kMarkerPrefix = kStartMarker.size() > kEndMarker.size() ? kStartMarker.size()
                                                                         : kEndMarker.size();
constexpr size_t kQuoteLimit = 100;  // bytes of a field that a message quotes at most
// The most a quoted cell may hold from its first TAB or line break on: more than any
// spreadsheet cell (Excel's hold 32 767 characters). A quote mark that opens a field and is
// not closed within it opened no cell: it may stand in a file typed by hand, and must not
// swallow the rest of the file.
constexpr size_t kCellLimit = 64 * 1024;

// What the register can take: Code goes as 16 bits, Group as 8 bits.
constexpr int64_t kMaxCode = 65535;
constexpr int64_t kMaxGroup = 255;

// The first bytes of a field, as many as its column or a message can use, and whether the
// field went on beyond them.
class FieldStart {
 public:
  explicit FieldStart(size_t limit = kQuoteLimit) : limit_(limit) { text_.reserve(limit); }

  void clear() {
    text_.clear();
    longer_ = false;
  }

  void clear(size_t limit) {
    clear();
    limit_ = limit;
  }

  // A character that Windows-1251 lacks is kept as "?", as the register and the user see it.
  void add(std::string_view piece) {
    const size_t room = limit_ - text_.size();
    if (piece.size() > room) longer_ = true;
    const size_t from = text_.size();
    text_.append(piece.substr(0, room));
    std::replace(text_.begin() + static_cast<std::ptrdiff_t>(from), text_.end(), kLackingCharacter,
                 '?');
  }

  const std::string& text() const { return text_; }
  bool longer() const { return longer_; }

 private:
  size_t limit_;
  std::string text_;
  bool longer_ = false;
};

// A field as a spreadsheet saves a cell that holds a quote mark, a TAB or a line break: in
// quotes, each quote mark inside doubled ("Шоколад ""Алёнка"" 100г"). Follows the field's
// bytes and gives the text inside the quotes, each pair as one quote mark; whether the field
// was quoted so as a whole is known once it ends. Any other field with quote marks keeps
// them as they stand.
class QuotedField {
 public:
  void reset() { stage_ = kFirst; }
  // Whether the field can still turn out to be quoted as a whole.
  bool possible() const { return stage_ != kNot; }
  // Inside the quotes: a TAB or a line break here belongs to the cell.
  bool inside() const { return stage_ == kInside; }
  // The last quote mark may be the closing one: the field ends here if it is quoted as a
  // whole.
  bool whole() const { return stage_ == kQuote; }
  // The field turned out to be no quoted cell.
  void abandon() { stage_ = kNot; }

  // Takes bytes of the field (its TAB not among them), appending what they give inside the
  // quotes to inner.
  void take(std::string_view bytes, std::string& inner) {
    for (const char c : bytes) {
      switch (stage_) {
        case kFirst:
          stage_ = c == '"' ? kInside : kNot;
          break;
        case kInside:
          if (c == '"') {
            stage_ = kQuote;
          } else {
            inner += c;
          }
          break;
        case kQuote:  // the closing quote, unless a second one makes a pair
          if (c != '"') {
            stage_ = kNot;
            return;
          }
          inner += c;
          stage_ = kInside;
          break;
        case kNot:
          return;
      }
    }
  }

 private:
  // kQuote: a quote mark after the opening one, not yet paired.
  enum Stage { kFirst, kInside, kQuote, kNot };
  Stage stage_ = kFirst;
};

// A field fitted to a fixed-width column: cut to width, or padded with blanks.
std::string Fit(std::string_view field, size_t width) {
  std::string column(field.substr(0, width));
  column.resize(width, ' ');
  return column;
}

// A message naming a field: its first bytes in quotes, "..." marking the rest of a long one.
std::string Quoted(std::string_view utf8Lead, const FieldStart& field) {
  return Utf8ToCp1251(utf8Lead) + field.text() + (field.longer() ? "..." : "") + "'";
}

enum class Outcome { Reading, Finished, Refused };

enum Field { kCode, kName, kBarcode, kPrice, kGroup, kFlag, kFieldCount };
static_assert(kFieldCount == kGoodsFields && kPrice == kPriceField);

// What is kept of one field as it is read: the first bytes a column or a message can use,
// and the number or price it holds.
struct FieldReading {
  FieldStart start;
  OneNumberReader number;  // of the code, bar code and group fields
  // A code, bar code or group field held a character that Windows-1251 lacks: a digit of
  // another script (full-width, Arabic-Indic) would otherwise pass for no digit at all.
  bool lacking = false;
  PriceReader price;
  NumberReader flag;

  explicit FieldReading(size_t limit = kQuoteLimit) : start(limit) {}

  void clear(size_t limit) {
    start.clear(limit);
    number = OneNumberReader();
    lacking = false;
    price = PriceReader();
    flag = NumberReader();
  }

  void feed(Field field, std::string_view piece) {
    start.add(piece);
    switch (field) {
      case kCode:
      case kBarcode:
      case kGroup:
        number.feed(piece);
        if (!lacking) lacking = piece.find(kLackingCharacter) != std::string_view::npos;
        break;
      case kPrice:
        price.feed(piece);
        break;
      case kFlag:
        flag.feed(piece);
        break;
      case kName:        // only what fits the column is kept
      case kFieldCount:  // text after the sixth TAB is ignored
        break;
    }
  }
};

// How much of a field its column or a message can use.
size_t StartLimit(Field field) { return field == kName ? kNameWidth : kQuoteLimit; }

// Splits the file into lines and goods lines into fields as the bytes come, and stores each
// goods line as the next item of the table. A line may be of any length: every byte is
// looked at once, numbers and prices are read as they go by, and only what a column or a
// message can need is kept. A workbook's rows come as whole lines (see GoodsRows).
class GoodsReader final : public GoodsRows {
 public:
  GoodsReader(const std::string& fileName, bool wholeUnitPrices, GoodsTable& table,
              const MessageSink& show)
      : fileName_(fileName), wholeUnitPrices_(wholeUnitPrices), table_(table), show_(show) {}

  Outcome feed(const char* data, size_t size) {
    const uint64_t call = ++calls_;
    const char* p = data;
    const char* const end = data + size;
    while (p < end) {
      if (inCell_) {
        bool noCell = false;
        p = takeCellBytes(p, end, noCell);
        if (!noCell) continue;
        // No cell: read again as plain fields from its first TAB or line break on.
        leaveCell();
        if (cellCall_ == call) {
          p = cellStart_;
          cell_.clear();
        } else {  // it began in an earlier piece
          std::string again;
          again.swap(cell_);
          const Outcome outcome = feed(again.data(), again.size());
          if (outcome != Outcome::Reading) return outcome;
        }
        continue;
      }
      if (afterCarriageReturn_) {
        afterCarriageReturn_ = false;
        if (*p == kLineFeed) {  // CR LF is one line end
          ++p;
          continue;
        }
      }
      const char c = *p;
      if (c == kEndOfFile) return finish();
      const bool lineBreak = c == kCarriageReturn || c == kLineFeed;
      if (lineBreak && line_ == Line::Goods && quote_.inside()) {
        beginCell(p, call);  // the line break is the cell's
        continue;
      }
      if (lineBreak) {
        ++p;
        afterCarriageReturn_ = c == kCarriageReturn;
        if (!endLine()) return Outcome::Refused;
        continue;
      }
      if (line_ == Line::Fresh) {
        beginLine(c);
        if (c == '"' && line_ == Line::Skipped) {
          // Outside the blocks: a marker cell in quotes, if the next byte is its "<".
          beginGoodsLine();
          onlyMarker_ = true;
          p = takeGoodsBytes(p, p + 1, call);
          line_ = Line::Quote;
          continue;
        }
      } else if (line_ == Line::Quote) {
        line_ = c == '<' ? Line::Goods : Line::Skipped;
      }
      p = line_ == Line::Goods ? takeGoodsBytes(p, end, call) : takeOtherBytes(p, end);
    }
    return Outcome::Reading;
  }

  // A row of a workbook's sheet standing repeat times, numbered as the sheet shows it, its
  // cells in Windows-1251 without TABs or line breaks: read as the row's TAB-separated export,
  // each cell a field closed by its TAB. The markers are the first column's, as they are a
  // text file's. valueMissing: a cell of the row holds a formula whose value the file does not
  // hold; a goods row of such a cell refuses the file, as the register would get something
  // else than the sheet shows. A repeated row that is no item (a marker, a row outside the
  // blocks, a blank one) is read once: its copies change nothing.
  bool row(int64_t number, int64_t repeat, const std::string (&cells)[kFieldCount],
           bool valueMissing) override {
    for (int64_t i = 0; i < repeat; ++i) {
      const int32_t items = table_.GoodsCount;
      const Outcome outcome = oneRow(number + i, cells, valueMissing);
      if (outcome != Outcome::Reading || table_.GoodsCount == items) {
        return outcome != Outcome::Refused;
      }
    }
    return true;
  }

  bool sawStart() const override { return sawStart_; }

  // The end of the file (its physical end or a 0x1A byte): the text of an unfinished line
  // is the last line; nothing after a line end is a line of its own. A file without a
  // "<start>" line is not a goods file: sending nothing would look like a finished upload.
  Outcome finish() {
    while (inCell_) {  // the file ended inside quotes: they opened no cell
      leaveCell();
      std::string again;
      again.swap(cell_);
      const Outcome outcome = feed(again.data(), again.size());
      if (outcome != Outcome::Reading) return outcome;
    }
    if (line_ != Line::Fresh && !endLine()) return Outcome::Refused;
    if (!sawStart_) {
      show_(Utf8ToCp1251("Не найдена строка <start> в файле: ") + fileName_, kIconError);
      return Outcome::Refused;
    }
    return Outcome::Finished;
  }

 private:
  Outcome oneRow(int64_t number, const std::string (&cells)[kFieldCount], bool valueMissing) {
    lineNumber_ = number;
    const std::string& first = cells[kCode];
    if (first.starts_with('<')) {
      line_ = Line::Marker;
      takeOtherBytes(first.data(), first.data() + first.size());
    } else if (!reading_) {
      line_ = Line::Skipped;
    } else {
      beginGoodsLine();
      if (valueMissing) {
        show_(Utf8ToCp1251("Значение формулы не сохранено. Откройте книгу в таблице и сохраните "
                           "её (") +
                  LinePlaceText(table_.Sheet, rowLine_) + ")",
              kIconError);
        return Outcome::Refused;
      }
      for (int f = kCode; f < kFieldCount; ++f) {
        fields_[f].feed(static_cast<Field>(f), cells[f]);
        fields_[f].feed(static_cast<Field>(f), "\t");
        if (blank_) blank_ = OnlyBlanks(cells[f]);
      }
    }
    return endLine() ? Outcome::Reading : Outcome::Refused;
  }

  // Quote: a line outside the blocks that began with a quote mark, its next byte not seen yet.
  enum class Line { Fresh, Marker, Goods, Skipped, Quote };

  static bool IsLineBreak(char c) {
    return c == kCarriageReturn || c == kLineFeed || c == kEndOfFile;
  }

  static bool OnlyBlanks(std::string_view piece) {
    return piece.find_first_not_of(" \t") == std::string_view::npos;
  }

  // Decides what the line is from its first byte.
  void beginLine(char first) {
    if (first == '<') {
      line_ = Line::Marker;
    } else if (!reading_) {
      line_ = Line::Skipped;
    } else {
      beginGoodsLine();
    }
  }

  void beginGoodsLine() {
    line_ = Line::Goods;
    onlyMarker_ = false;
    rowLine_ = lineNumber_;
    blank_ = true;
    for (int f = kCode; f < kFieldCount; ++f) fields_[f].clear(StartLimit(static_cast<Field>(f)));
    beginField(kCode);
  }

  void beginField(Field field) {
    field_ = field;
    quote_.reset();
    quoted_.clear(StartLimit(field));
  }

  // The field being read has ended (at its TAB, or at the line end with tab false): one
  // quoted as a whole is read as the text inside its quotes.
  void endField(bool tab) {
    if (field_ >= kFieldCount || !quote_.whole()) return;
    if (tab) quoted_.feed(field_, "\t");
    std::swap(fields_[field_], quoted_);
  }

  // A text line whose first field is a cell in quotes with text that begins with "<" is a
  // marker line, as it would be unquoted, judged on that text: a spreadsheet quotes a marker
  // cell with text after it ("<start> второй блок"). The rest of the line counts for nothing.
  bool markerCell() {
    if (field_ != kCode || !quote_.whole()) return false;
    const std::string& text = quoted_.start.text();
    if (!text.starts_with('<')) return false;
    std::string marker;
    for (size_t i = 0; i < text.size() && i < kMarkerPrefix; ++i) marker += LowerLatin(text[i]);
    judgeMarker(marker);
    return true;
  }

  void judgeMarker(std::string_view marker) {
    if (marker.starts_with(kStartMarker)) reading_ = sawStart_ = true;
    if (marker.starts_with(kEndMarker)) reading_ = false;
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

  // Bytes of a goods line up to the next TAB or line end; a TAB completes the field, and the
  // line end completes the field it falls in, unless it stands inside the quotes of a cell.
  const char* takeGoodsBytes(const char* p, const char* end, uint64_t call) {
    const char* stop = p;
    while (stop < end && *stop != kTab && !IsLineBreak(*stop)) ++stop;
    const std::string_view piece(p, static_cast<size_t>(stop - p));
    if (blank_) blank_ = OnlyBlanks(piece);
    if (field_ < kFieldCount) fields_[field_].feed(field_, piece);
    if (quote_.possible()) {
      inner_.clear();
      quote_.take(piece, inner_);
      quoted_.feed(field_, inner_);
    }
    if (stop == end) return stop;
    if (quote_.inside() && *stop != kEndOfFile) {
      beginCell(stop, call);
      return stop;
    }
    if (*stop == kTab && (markerCell() || onlyMarker_)) {
      line_ = Line::Skipped;
      return stop;
    }
    if (*stop == kTab) {
      if (field_ < kFieldCount) fields_[field_].feed(field_, "\t");  // the TAB belongs to it
      endField(true);
      beginField(field_ < kFieldCount ? static_cast<Field>(field_ + 1) : kFieldCount);
      ++stop;
    }
    return stop;
  }

  // A quoted cell runs on over a TAB or a line break at start (which stands at a place of
  // this feed call): its bytes are kept until it is known whether it is such a cell.
  void beginCell(const char* start, uint64_t call) {
    inCell_ = true;
    cellStart_ = start;
    cellCall_ = call;
    cellLine_ = lineNumber_;
    cell_.clear();
    startBytes_ = kNoStart;
  }

  // Outside the blocks, a line that a marker cell in quotes runs over and that begins with
  // "<start>" would open a block as it stands: no cell holds it. Follows the cell's bytes from
  // each line break on; true at the byte that completes "<start>".
  bool opensBlock(char c) {
    if (c == kCarriageReturn || c == kLineFeed) {
      startBytes_ = 0;
    } else if (startBytes_ < kStartMarker.size()) {
      startBytes_ = LowerLatin(c) == kStartMarker[startBytes_] ? startBytes_ + 1 : kNoStart;
    }
    return startBytes_ == kStartMarker.size();
  }

  // The bytes of a cell after its first TAB or line break inside the quotes. Each TAB or line
  // break inside becomes one blank, and a line break counts as a line of the file. The cell
  // ends at a closing quote followed by a TAB or the row's end, which are left for the row.
  // A closing quote followed by anything else, the file's end and a cell longer than
  // kCellLimit show that it was no cell (noCell); then p stays at the byte that showed it.
  const char* takeCellBytes(const char* p, const char* end, bool& noCell) {
    inner_.clear();
    for (; p < end; ++p) {
      const char c = *p;
      if (quote_.whole()) {
        if (c == kTab || IsLineBreak(c)) {
          inCell_ = false;
          break;
        }
        noCell = c != '"';
      } else {
        noCell = c == kEndOfFile;
      }
      if (noCell || cell_.size() >= kCellLimit || (onlyMarker_ && opensBlock(c))) {
        noCell = true;
        return p;
      }
      cell_ += c;
      const bool secondOfCrLf = afterCarriageReturn_ && c == kLineFeed;
      afterCarriageReturn_ = c == kCarriageReturn;
      if (secondOfCrLf) continue;
      if (c == kTab || c == kCarriageReturn || c == kLineFeed) {
        inner_ += ' ';
        if (c != kTab) ++lineNumber_;
      } else {
        quote_.take(std::string_view(p, 1), inner_);
      }
    }
    quoted_.feed(field_, inner_);
    return p;
  }

  // The cell was none: the field is read as it stands, from the cell's first TAB or line
  // break on.
  void leaveCell() {
    inCell_ = false;
    quote_.abandon();
    lineNumber_ = cellLine_;
    afterCarriageReturn_ = false;
  }

  bool endLine() {
    const Line line = line_;
    line_ = Line::Fresh;
    ++lineNumber_;
    switch (line) {
      case Line::Marker:
        judgeMarker(marker_);
        marker_.clear();
        return true;
      case Line::Goods:
        if (markerCell() || onlyMarker_) return true;
        // A row of nothing but blanks and TABs is no item.
        endField(false);
        return blank_ || storeItem();
      case Line::Fresh:  // an empty line
      case Line::Skipped:
      case Line::Quote:
        return true;
    }
    return true;
  }

  // Refuses the file for a field of the row, naming the line where the row starts.
  bool refuse(std::string_view utf8Lead, Field field) {
    show_(
        Quoted(utf8Lead, fields_[field].start) + " (" + LinePlaceText(table_.Sheet, rowLine_) + ")",
        kIconError);
    return false;
  }

  // Stores the finished goods row as the next item, checking its fields in the order the
  // columns are filled; the first field the register would not receive as written refuses
  // the whole file. A code needs a digit: a row without one (a totals row, "н/д") is no item
  // of its own, and as code 0 every such row would land on one item.
  bool storeItem() {
    if (table_.GoodsCount >= kGoodsCapacity) {
      show_(Utf8ToCp1251("Слишком много товаров в файле (больше ") +
                std::to_string(kGoodsCapacity) + ")",
            kIconError);
      return false;
    }
    const int32_t item = ++table_.GoodsCount;
    table_.Line[item] = rowLine_;

    const OneNumberReader::Result code = fields_[kCode].number.result();
    if (!code.valid || !code.digit || fields_[kCode].lacking || code.number.overflow ||
        code.number.value < 0 || code.number.value > kMaxCode) {
      return refuse("Недопустимый код товара: '", kCode);
    }
    table_.Code[item] = static_cast<int32_t>(code.number.value);

    table_.Name[item] = Fit(fields_[kName].start.text(), kNameWidth);
    table_.Barcode[item] = Fit(fields_[kBarcode].start.text(), kBarcodeWidth);
    // The register gets the number of the 14 stored bytes; it must be the file's number.
    const OneNumberReader::Result written = fields_[kBarcode].number.result();
    const NumberValue stored = ParseNumber(table_.Barcode[item]);
    if (!written.valid || fields_[kBarcode].lacking || written.number.overflow ||
        written.number.value < 0 || stored.overflow || stored.value != written.number.value) {
      return refuse("Недопустимый штрих-код: '", kBarcode);
    }

    const PriceResult price = fields_[kPrice].price.result(wholeUnitPrices_);
    if (!price.valid) return refuse("Недопустимая цена: '", kPrice);
    table_.Price[item] = price.value;

    const OneNumberReader::Result group = fields_[kGroup].number.result();
    if (!group.valid || fields_[kGroup].lacking || group.number.overflow ||
        group.number.value < 0 || group.number.value > kMaxGroup) {
      return refuse("Недопустимый номер группы: '", kGroup);
    }
    table_.Group[item] = static_cast<int32_t>(group.number.value);

    const NumberValue flag = fields_[kFlag].flag.result();
    table_.Flag[item] = flag.overflow || flag.value != 0 ? 1 : 0;
    return true;
  }

  const std::string& fileName_;
  const bool wholeUnitPrices_;
  GoodsTable& table_;
  const MessageSink& show_;

  bool reading_ = false;   // between a "<start>" line and an "<end>" line
  bool sawStart_ = false;  // a "<start>" line came
  Line line_ = Line::Fresh;
  bool afterCarriageReturn_ = false;
  std::string marker_;      // the first bytes of a marker line, Latin letters lowered
  int64_t lineNumber_ = 1;  // of the line being read, counting every line from 1
  int64_t rowLine_ = 1;     // where the goods row being read starts
  Field field_ = kCode;     // the field being read; fields before it have their TAB
  bool blank_ = true;       // the goods line has had nothing but blanks and TABs so far
  FieldReading fields_[kFieldCount] = {FieldReading(), FieldReading(kNameWidth), FieldReading(),
                                       FieldReading(), FieldReading(),           FieldReading()};
  // The field being read as the text inside its quotes, while it may be quoted as a whole.
  QuotedField quote_;
  FieldReading quoted_;
  std::string inner_;
  // A quoted cell that has run on over a TAB or a line break: its bytes from there, where
  // that was (the feed call and the place in its bytes) and the line count then.
  bool inCell_ = false;
  std::string cell_;
  uint64_t calls_ = 0;  // feed calls so far
  uint64_t cellCall_ = 0;
  const char* cellStart_ = nullptr;
  int64_t cellLine_ = 0;
  // The bytes of "<start>" that the cell's line so far begins with (kNoStart: it does not).
  static constexpr size_t kNoStart = kStartMarker.size() + 1;
  size_t startBytes_ = kNoStart;
  bool onlyMarker_ = false;  // the line is read only for a marker cell: it stands outside blocks
};

// Tells the user that the file cannot be read; false, for the reader to return.
bool CannotRead(const std::string& fileName, const MessageSink& show) {
  show(CannotReadText(fileName), kIconError);
  return false;
}

// The file's first bytes, as many as tell a workbook; the source is left at its start.
bool ReadFileStart(ByteSource& source, std::string& start) {
  constexpr size_t kKindBytes = 8;  // FileKindOf needs no more
  bool atEnd = false;
  return ReadHead(source, kKindBytes, kKindBytes, start, atEnd) && source.rewind();
}

}  // namespace

std::string CannotReadText(const std::string& fileName) {
  return Utf8ToCp1251("Не могу открыть файл: ") + fileName;
}

bool ReadGoodsFile(const std::string& path, const std::string& fileName, bool wholeUnitPrices,
                   GoodsTable& table, const MessageSink& show) {
  InputFile file;
  if (!file.open(path)) {
    table.create();
    return CannotRead(fileName, show);
  }
  return ReadGoodsFrom(file, fileName, wholeUnitPrices, table, show);
}

bool ReadGoodsFrom(ByteSource& source, const std::string& fileName, bool wholeUnitPrices,
                   GoodsTable& table, const MessageSink& show) {
  table.create();
  // A file that breaks off while being read is as unreadable as one that won't open.
  const auto cannotRead = [&] {
    table.GoodsCount = 0;
    return CannotRead(fileName, show);
  };
  // A workbook is told by its content, whatever the file's name; a zip archive that holds
  // none is read as text, like any other file.
  std::string start;
  if (!ReadFileStart(source, start)) return cannotRead();
  const FileKind kind = FileKindOf(start);
  if (kind != FileKind::kOther) {
    GoodsReader reader(fileName, wholeUnitPrices, table, show);
    const WorkbookRead read =
        ReadWorkbookGoods(source, kind, fileName, wholeUnitPrices, reader, table, show);
    if (read != WorkbookRead::kNotWorkbook) return read == WorkbookRead::kRead;
    if (!source.rewind()) return cannotRead();
  }

  GoodsText text(source);
  if (!text.start()) return cannotRead();

  GoodsReader reader(fileName, wholeUnitPrices, table, show);
  Outcome outcome = Outcome::Reading;
  while (outcome == Outcome::Reading) {
    std::string_view piece;
    if (!text.next(piece)) return cannotRead();
    outcome = piece.empty() ? reader.finish() : reader.feed(piece.data(), piece.size());
  }
  if (outcome == Outcome::Refused) {
    table.GoodsCount = 0;  // a refused file leaves nothing that could be sent
    return false;
  }
  return true;
}
