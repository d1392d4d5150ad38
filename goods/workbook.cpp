#include "goods/workbook.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <vector>

#include "expat.h"
#include "goods/zip_archive.h"
#include "text/wide_text.h"

namespace {

constexpr int kDepthLimit = 256;  // elements inside one another; a sheet needs under ten
// The most a cell may hold: more than any spreadsheet keeps (Excel's cells hold 32 767
// characters). A longer one is no cell of a goods list, and is not cut to fit.
constexpr size_t kCellLimit = 64 * 1024;
constexpr int64_t kRowLimit = int64_t{1} << 40;  // row and column numbers are kept below this
constexpr char kNamespaceEnd = ' ';              // expat joins a namespace and a name with it

const std::string kOdsMimeType = "application/vnd.oasis.opendocument.spreadsheet";

std::string_view LocalName(const XML_Char* name) {
  const std::string_view whole(name);
  const size_t end = whole.rfind(kNamespaceEnd);
  return end == std::string_view::npos ? whole : whole.substr(end + 1);
}

const XML_Char* Attribute(const XML_Char** attributes, std::string_view localName) {
  for (size_t i = 0; attributes[i] != nullptr; i += 2) {
    if (LocalName(attributes[i]) == localName) return attributes[i + 1];
  }
  return nullptr;
}

// A whole number from 0 to kRowLimit; fallback when the text is no such number.
int64_t CountOf(const XML_Char* text, int64_t fallback) {
  if (text == nullptr) return fallback;
  const std::string_view digits(text);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value < 0 ||
      value > kRowLimit) {
    return fallback;
  }
  return value;
}

// What an element handler says of one XML part.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // False stops the part; outcome then says why.
  virtual bool start(std::string_view name, const XML_Char** attributes) = 0;
  virtual bool end(std::string_view name) = 0;
  virtual void text(std::string_view) {}

  WorkbookStatus outcome = WorkbookStatus::kDamaged;
};

struct Parse {
  XML_Parser parser;
  XmlHandler& handler;
  int depth = 0;
  bool stopped = false;
  // Where the last element or text the parser reported began: what was given to the parser
  // after it and not yet reported is markup it still holds.
  int64_t reported = 0;
};

void Reported(Parse& parse) { parse.reported = XML_GetCurrentByteIndex(parse.parser); }

void Stop(Parse& parse) {
  parse.stopped = true;
  XML_StopParser(parse.parser, XML_FALSE);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  Parse& parse = *static_cast<Parse*>(data);
  if (parse.stopped) return;  // expat may still report what it had parsed
  Reported(parse);
  if (++parse.depth > kDepthLimit) {
    parse.handler.outcome = WorkbookStatus::kDamaged;
    Stop(parse);
  } else if (!parse.handler.start(LocalName(name), attributes)) {
    Stop(parse);
  }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  Parse& parse = *static_cast<Parse*>(data);
  if (parse.stopped) return;
  Reported(parse);
  --parse.depth;
  if (!parse.handler.end(LocalName(name))) Stop(parse);
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  Parse& parse = *static_cast<Parse*>(data);
  if (parse.stopped) return;
  Reported(parse);
  parse.handler.text(std::string_view(text, static_cast<size_t>(length)));
}

// A document type could declare entities; no part of a workbook has one.
void XMLCALL OnDocumentType(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  Parse& parse = *static_cast<Parse*>(data);
  parse.handler.outcome = WorkbookStatus::kDamaged;
  Stop(parse);
}

WorkbookStatus FromZip(ZipStatus status) {
  switch (status) {
    case ZipStatus::kOk:
      return WorkbookStatus::kRead;
    case ZipStatus::kEncrypted:
      return WorkbookStatus::kEncrypted;
    case ZipStatus::kTooLarge:
      return WorkbookStatus::kTooLarge;
    case ZipStatus::kMissing:   // a part the workbook names
    case ZipStatus::kRepeated:  // a part that is named twice where it may stand once
    case ZipStatus::kDamaged:
    case ZipStatus::kStopped:
      break;
  }
  return WorkbookStatus::kDamaged;
}

// Streams the part through the handler as it inflates. kRead when the part was read to its
// end or the handler stopped with that outcome. A piece of markup longer than kMarkupLimit
// (a tag of 60 MB of attributes) is too large: the parser would hold it whole.
WorkbookStatus ParsePart(ZipArchive& zip, const std::string& name, XmlHandler& handler) {
  XML_Parser parser = XML_ParserCreateNS(nullptr, kNamespaceEnd);
  if (parser == nullptr) return WorkbookStatus::kTooLarge;
  Parse parse{parser, handler};
  XML_SetUserData(parser, &parse);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  XML_SetStartDoctypeDeclHandler(parser, OnDocumentType);
  bool malformed = false;
  bool tooLong = false;
  int64_t given = 0;
  ZipStatus status = zip.read(name, [&](std::string_view piece) {
    malformed =
        XML_Parse(parser, piece.data(), static_cast<int>(piece.size()), XML_FALSE) != XML_STATUS_OK;
    given += static_cast<int64_t>(piece.size());
    tooLong =
        !malformed && !parse.stopped && given - parse.reported > static_cast<int64_t>(kMarkupLimit);
    return !malformed && !tooLong;
  });
  if (status == ZipStatus::kOk)
    malformed = XML_Parse(parser, nullptr, 0, XML_TRUE) != XML_STATUS_OK;
  XML_ParserFree(parser);
  if (parse.stopped) return handler.outcome;
  if (tooLong) return WorkbookStatus::kTooLarge;
  if (malformed) return WorkbookStatus::kDamaged;
  return FromZip(status);
}

// Text of a cell being collected, refused beyond kCellLimit.
class CellText {
 public:
  void clear() {
    text_.clear();
    tooLong_ = false;
  }
  void add(std::string_view piece) {
    if (piece.size() > kCellLimit - text_.size()) {
      tooLong_ = true;
      return;
    }
    text_.append(piece);
  }
  bool tooLong() const { return tooLong_; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  bool tooLong_ = false;
};

bool AllEmpty(const SheetCell (&cells)[kSheetColumns]) {
  return std::all_of(std::begin(cells), std::end(cells),
                     [](const SheetCell& cell) { return cell.kind == SheetCell::kEmpty; });
}

void ClearCells(SheetCell (&cells)[kSheetColumns]) {
  for (SheetCell& cell : cells) cell = SheetCell();
}

// ---- Office Open XML ----

struct Relationship {
  std::string type;
  std::string target;  // the part's name in the archive
};

// A text of Office Open XML writes a character that XML cannot hold as "_xHHHH_", its UTF-16
// code in hex ("_x000D_" a carriage return), and the underscore that starts a text which would
// read as such an escape as "_x005F_".
constexpr size_t kEscapeLength = 7;

// Whether text holds such an escape at i, and its code.
bool EscapeAt(std::string_view text, size_t i, char16_t& unit) {
  if (text.size() - i < kEscapeLength || text.substr(i, 2) != "_x" ||
      text[i + kEscapeLength - 1] != '_') {
    return false;
  }
  unsigned value = 0;
  const char* const end = text.data() + i + kEscapeLength - 1;
  const auto [last, error] = std::from_chars(text.data() + i + 2, end, value, 16);
  unit = static_cast<char16_t>(value);
  return error == std::errc() && last == end;
}

// A text with its escapes decoded; escapes in a row are decoded together, so that the two
// halves of a surrogate pair make one character.
std::string Unescaped(std::string_view text) {
  std::string plain;
  std::u16string units;
  for (size_t i = 0; i < text.size();) {
    char16_t unit = 0;
    if (EscapeAt(text, i, unit)) {
      units += unit;
      i += kEscapeLength;
      continue;
    }
    plain += Utf16ToUtf8(units);
    units.clear();
    plain += text[i++];
  }
  return plain + Utf16ToUtf8(units);
}

// The folder of a part, with its closing '/'.
std::string FolderOf(const std::string& part) {
  const size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship's target as a part's name: absolute ("/xl/workbook.xml") or relative to the
// folder of the part that names it, "." and ".." resolved.
std::string ResolveTarget(const std::string& folder, std::string_view target) {
  const std::string path =
      target.starts_with('/') ? std::string(target.substr(1)) : folder + std::string(target);
  std::vector<std::string> segments;
  size_t from = 0;
  while (from <= path.size()) {
    size_t slash = path.find('/', from);
    if (slash == std::string::npos) slash = path.size();
    const std::string segment = path.substr(from, slash - from);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    from = slash + 1;
  }
  std::string name;
  for (const std::string& segment : segments) name += (name.empty() ? "" : "/") + segment;
  return name;
}

bool TypeIs(const Relationship& relationship, std::string_view kind) {
  return relationship.type.ends_with(kind);
}

class RelationshipsHandler final : public XmlHandler {
 public:
  explicit RelationshipsHandler(std::string folder) : folder_(std::move(folder)) {}
  bool start(std::string_view name, const XML_Char** attributes) override {
    if (name != "Relationship") return true;
    const XML_Char* id = Attribute(attributes, "Id");
    const XML_Char* type = Attribute(attributes, "Type");
    const XML_Char* target = Attribute(attributes, "Target");
    const XML_Char* mode = Attribute(attributes, "TargetMode");
    if (id == nullptr || type == nullptr || target == nullptr) return true;
    if (mode != nullptr && std::string_view(mode) == "External") return true;
    byId[id] = {type, ResolveTarget(folder_, target)};
    return true;
  }
  bool end(std::string_view) override { return true; }

  std::map<std::string, Relationship> byId;

 private:
  std::string folder_;
};

// The relationships of a part, from "_rels/NAME.rels" beside it; none when it has no such part.
WorkbookStatus ReadRelationships(ZipArchive& zip, const std::string& part,
                                 std::map<std::string, Relationship>& relationships) {
  const std::string folder = FolderOf(part);
  const std::string name = folder + "_rels/" + part.substr(folder.size()) + ".rels";
  if (!zip.has(name)) return WorkbookStatus::kRead;
  RelationshipsHandler handler(folder);
  const WorkbookStatus status = ParsePart(zip, name, handler);
  relationships = std::move(handler.byId);
  return status;
}

struct SheetEntry {
  std::string name;
  std::string relationship;
};

// An XML Schema truth value: "1" or "true".
bool IsTrue(const XML_Char* value) {
  return value != nullptr && (std::string_view(value) == "1" || std::string_view(value) == "true");
}

class WorkbookHandler final : public XmlHandler {
 public:
  bool start(std::string_view name, const XML_Char** attributes) override {
    if (name == "workbook") isWorkbook = true;
    // A workbook written by a program that computes nothing may declare that its formulas'
    // values are to be computed when it is opened: the values it holds are placeholders.
    if (name == "calcPr") computeOnOpening = IsTrue(Attribute(attributes, "fullCalcOnLoad"));
    if (name != "sheet") return true;
    const XML_Char* sheetName = Attribute(attributes, "name");
    const XML_Char* id = Attribute(attributes, "id");
    const XML_Char* state = Attribute(attributes, "state");
    // A hidden sheet ("hidden", or "veryHidden", which only a macro shows) is not what the
    // user sees: an old price list kept behind the current one must never be sent.
    if (state != nullptr && std::string_view(state) != "visible") return true;
    if (sheetName != nullptr && id != nullptr) sheets.push_back({sheetName, id});
    return true;
  }
  bool end(std::string_view) override { return true; }

  bool isWorkbook = false;
  bool computeOnOpening = false;
  std::vector<SheetEntry> sheets;  // the visible ones, in the workbook's order
};

// What a workbook's shared texts may keep: the only part of a workbook held in memory. Far more
// than a sheet of goods needs, even beside a large sheet of other texts.
constexpr size_t kSharedTextBytes = 32u << 20;
constexpr size_t kSharedTextCount = 1u << 22;

// The workbook's shared texts, decoded, all in one string.
class SharedTexts final : public XmlHandler {
 public:
  bool start(std::string_view name, const XML_Char**) override {
    if (name == "si") {
      cell_.clear();
    } else if (name == "rPh") {
      ++phonetic_;  // a reading aid shown above the text, no part of it
    } else if (name == "t") {
      inText_ = phonetic_ == 0;
    }
    return true;
  }
  bool end(std::string_view name) override {
    if (name == "t") inText_ = false;
    if (name == "rPh") --phonetic_;
    if (name != "si") return true;
    const std::string text = Unescaped(cell_.text());
    if (cell_.tooLong() || text.size() > kSharedTextBytes - texts_.size() ||
        ends_.size() >= kSharedTextCount) {
      outcome = WorkbookStatus::kTooLarge;
      return false;
    }
    texts_ += text;
    ends_.push_back(static_cast<uint32_t>(texts_.size()));
    return true;
  }
  void text(std::string_view piece) override {
    if (inText_) cell_.add(piece);
  }

  bool find(std::string_view index, std::string& text) const {
    size_t i = 0;
    const auto [end, error] = std::from_chars(index.data(), index.data() + index.size(), i);
    if (error != std::errc() || end != index.data() + index.size() || i >= ends_.size()) {
      return false;
    }
    const uint32_t from = i == 0 ? 0 : ends_[i - 1];
    text = texts_.substr(from, ends_[i] - from);
    return true;
  }

 private:
  std::string texts_;
  std::vector<uint32_t> ends_;  // where each text ends in texts_
  CellText cell_;
  int phonetic_ = 0;
  bool inText_ = false;
};

// A cell reference's column ("D12" is column 3, from 0); -1 when it names none.
int64_t ColumnOf(std::string_view reference) {
  int64_t column = 0;
  size_t letters = 0;
  for (; letters < reference.size() && reference[letters] >= 'A' && reference[letters] <= 'Z';
       ++letters) {
    column = column * 26 + (reference[letters] - 'A' + 1);
    if (column > kRowLimit) return -1;
  }
  return letters == 0 ? -1 : column - 1;
}

class WorksheetHandler final : public XmlHandler {
 public:
  // staleValues: the workbook declares the values of its formulas stale.
  WorksheetHandler(const SharedTexts& shared, bool staleValues, SheetRows& rows)
      : shared_(shared), staleValues_(staleValues), rows_(rows) {}

  bool start(std::string_view name, const XML_Char** attributes) override {
    if (name == "row") {
      // Rows come in order, each numbered above the one before (Excel writes them so).
      const int64_t number = CountOf(Attribute(attributes, "r"), row_ + 1);
      if (number <= row_) return false;
      row_ = number;
      column_ = 0;
      ClearCells(cells_);
    } else if (name == "c") {
      const XML_Char* reference = Attribute(attributes, "r");
      const int64_t column = reference != nullptr ? ColumnOf(reference) : column_;
      if (column < 0) return false;
      cell_ = column;
      column_ = column + 1;
      const XML_Char* type = Attribute(attributes, "t");
      type_ = type != nullptr ? type : "n";
      value_.clear();
      formula_ = false;
      valueGiven_ = false;
    } else if (name == "f") {
      formula_ = true;
    } else if (name == "v" || (name == "t" && phonetic_ == 0)) {
      collecting_ = true;
      valueGiven_ = true;
    } else if (name == "rPh") {
      ++phonetic_;
    }
    return true;
  }

  bool end(std::string_view name) override {
    if (name == "v" || name == "t") {
      collecting_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    } else if (name == "c") {
      if (value_.tooLong()) {
        outcome = WorkbookStatus::kTooLarge;
        return false;
      }
      if (cell_ < kSheetColumns && !fill(cells_[cell_])) return false;
    } else if (name == "row") {
      if (AllEmpty(cells_) || rows_.row(row_, 1, cells_)) return true;
      outcome = WorkbookStatus::kStopped;
      return false;
    }
    return true;
  }

  void text(std::string_view piece) override {
    if (collecting_) value_.add(piece);
  }

 private:
  // The cell's value by its type: a shared text's index, a text, a truth value, or a number.
  // A formula's value is its last computed one, when the file holds it: a text result may be
  // empty, a number may not.
  bool fill(SheetCell& cell) {
    const std::string& value = value_.text();
    cell = SheetCell();
    if (formula_ && (staleValues_ || !valueGiven_ || (value.empty() && type_ != "str"))) {
      cell.kind = SheetCell::kNoValue;
      return true;
    }
    if (value.empty()) return true;
    if (type_ == "s") {
      cell.kind = SheetCell::kText;
      return shared_.find(value, cell.value);  // an index beyond them: damaged
    }
    if (type_ == "n" || type_ == "b") {
      cell = {SheetCell::kNumber, value};
    } else {
      cell = {SheetCell::kText, Unescaped(value)};
    }
    return true;
  }

  const SharedTexts& shared_;
  const bool staleValues_;
  SheetRows& rows_;
  SheetCell cells_[kSheetColumns];
  int64_t row_ = 0;
  int64_t column_ = 0;
  int64_t cell_ = 0;
  std::string type_;
  CellText value_;
  bool collecting_ = false;
  bool formula_ = false;     // the cell holds a formula
  bool valueGiven_ = false;  // the cell holds a value element
  int phonetic_ = 0;
};

WorkbookStatus ReadOfficeWorkbook(ZipArchive& zip, SheetRows& rows) {
  std::map<std::string, Relationship> root;
  WorkbookStatus status = ReadRelationships(zip, "", root);
  if (status != WorkbookStatus::kRead) return status;
  std::string workbookPart = "xl/workbook.xml";
  for (const auto& [id, relationship] : root) {
    if (TypeIs(relationship, "/officeDocument")) workbookPart = relationship.target;
  }
  if (!zip.has(workbookPart)) return WorkbookStatus::kNotWorkbook;
  WorkbookHandler workbook;
  status = ParsePart(zip, workbookPart, workbook);
  if (status != WorkbookStatus::kRead) return status;
  if (!workbook.isWorkbook) return WorkbookStatus::kNotWorkbook;

  std::map<std::string, Relationship> parts;
  status = ReadRelationships(zip, workbookPart, parts);
  if (status != WorkbookStatus::kRead) return status;
  // Each part is read once: a workbook has one part of shared texts, and a part that several
  // sheets or relationships name holds the same rows for each.
  std::set<std::string> read;
  SharedTexts shared;
  for (const auto& [id, relationship] : parts) {
    if (!TypeIs(relationship, "/sharedStrings") || !read.insert(relationship.target).second) {
      continue;
    }
    status = ParsePart(zip, relationship.target, shared);
    if (status != WorkbookStatus::kRead) return status;
  }
  for (const SheetEntry& sheet : workbook.sheets) {
    const auto part = parts.find(sheet.relationship);
    if (part == parts.end()) return WorkbookStatus::kDamaged;
    if (!TypeIs(part->second, "/worksheet")) continue;  // a chart sheet has no cells
    // A sheet read before had no "<start>", nor will it now.
    if (!read.insert(part->second.target).second) continue;
    rows.beginSheet(sheet.name);
    WorksheetHandler handler(shared, workbook.computeOnOpening, rows);
    status = ParsePart(zip, part->second.target, handler);
    if (status != WorkbookStatus::kRead) return status;
    if (rows.endSheet()) break;
  }
  return WorkbookStatus::kRead;
}

// ---- OpenDocument ----

// Whether the manifest lists encryption data: the parts are then encrypted with a password.
class ManifestHandler final : public XmlHandler {
 public:
  bool start(std::string_view name, const XML_Char**) override {
    if (name == "encryption-data") encrypted = true;
    return true;
  }
  bool end(std::string_view) override { return true; }
  bool encrypted = false;
};

class SpreadsheetHandler final : public XmlHandler {
 public:
  explicit SpreadsheetHandler(SheetRows& rows) : rows_(rows) {}

  bool start(std::string_view name, const XML_Char** attributes) override {
    if (hiddenDepth_ > 0) {  // inside a sheet that is not shown: nothing of it is read
      if (name == "table") ++hiddenDepth_;
    } else if (inCell_) {
      startInCell(name, attributes);
    } else if (name == "table" && !inTable_) {
      if (IsHidden(Attribute(attributes, "style-name"))) {
        hiddenDepth_ = 1;
        return true;
      }
      inTable_ = true;
      row_ = 1;
      const XML_Char* sheetName = Attribute(attributes, "name");
      rows_.beginSheet(sheetName != nullptr ? sheetName : "");
    } else if (!inTable_) {
      startStyle(name, attributes);
    } else if (name == "table-row") {
      repeat_ = std::max<int64_t>(1, CountOf(Attribute(attributes, "number-rows-repeated"), 1));
      column_ = 0;
      ClearCells(cells_);
    } else if (name == "table-cell" || name == "covered-table-cell") {
      startCell(attributes);
    }
    return true;
  }

  bool end(std::string_view name) override {
    if (hiddenDepth_ > 0) {
      if (name == "table") --hiddenDepth_;
      return true;
    }
    if (!inTable_ && name == "style") style_.clear();
    if (inCell_ && depth_ == 0) return endCell();  // the cell's own end
    if (inCell_) {
      endInCell(name);
    } else if (name == "table-row" && inTable_) {
      return endRow();
    } else if (name == "table" && inTable_) {
      inTable_ = false;
      if (rows_.endSheet()) {  // the goods sheet: nothing after it is read
        outcome = WorkbookStatus::kRead;
        return false;
      }
    }
    return true;
  }

  void text(std::string_view piece) override {
    if (inParagraph_) text_.add(piece);
  }

 private:
  // The sheets' styles come before the sheets: a table style whose properties say that the
  // sheet is not displayed marks the sheets of that style hidden.
  void startStyle(std::string_view name, const XML_Char** attributes) {
    if (name == "style") {
      const XML_Char* family = Attribute(attributes, "family");
      const XML_Char* styleName = Attribute(attributes, "name");
      style_ = family != nullptr && std::string_view(family) == "table" && styleName != nullptr
                   ? styleName
                   : "";
    } else if (name == "table-properties" && !style_.empty()) {
      const XML_Char* display = Attribute(attributes, "display");
      if (display != nullptr && std::string_view(display) == "false") hiddenStyles_.insert(style_);
    }
  }

  bool IsHidden(const XML_Char* styleName) const {
    return styleName != nullptr && hiddenStyles_.count(styleName) != 0;
  }

  void startCell(const XML_Char** attributes) {
    inCell_ = true;
    cellRepeat_ =
        std::max<int64_t>(1, CountOf(Attribute(attributes, "number-columns-repeated"), 1));
    cell_ = SheetCell();
    text_.clear();
    paragraphs_ = 0;
    depth_ = 0;
    inParagraph_ = false;
    const XML_Char* type = Attribute(attributes, "value-type");
    const std::string_view kind = type != nullptr ? type : "";
    // A formula's value is stored beside it, with its type; a formula without one was never
    // computed.
    if (kind.empty() && Attribute(attributes, "formula") != nullptr) {
      cell_.kind = SheetCell::kNoValue;
    } else if (kind == "float" || kind == "percentage" || kind == "currency") {
      const XML_Char* value = Attribute(attributes, "value");
      if (value != nullptr) cell_ = {SheetCell::kNumber, value};
    } else if (kind == "boolean") {
      const XML_Char* value = Attribute(attributes, "boolean-value");
      cell_ = {SheetCell::kNumber,
               value != nullptr && std::string_view(value) == "true" ? "1" : "0"};
    } else if (!kind.empty()) {
      cell_.kind = SheetCell::kText;  // a text, or a date or time as the cell shows it
    }
  }

  // Inside a cell: the cell's own paragraphs, their spaces, tabs and line breaks make its
  // text. What else it holds, a note or a shape anchored to the cell with a text of its own
  // (their paragraphs lie deeper), is no part of it.
  void startInCell(std::string_view name, const XML_Char** attributes) {
    if (++depth_ == 1 && name == "p") {
      if (paragraphs_++ > 0) text_.add("\n");
      inParagraph_ = true;
    } else if (inParagraph_ && name == "s") {
      const int64_t count = std::max<int64_t>(1, CountOf(Attribute(attributes, "c"), 1));
      text_.add(std::string(static_cast<size_t>(std::min<int64_t>(count, kCellLimit + 1)), ' '));
    } else if (inParagraph_ && name == "tab") {
      text_.add("\t");
    } else if (inParagraph_ && name == "line-break") {
      text_.add("\n");
    }
  }

  void endInCell(std::string_view name) {
    if (depth_-- == 1 && name == "p") inParagraph_ = false;
  }

  bool endCell() {
    inCell_ = false;
    if (text_.tooLong()) {
      outcome = WorkbookStatus::kTooLarge;
      return false;
    }
    if (cell_.kind == SheetCell::kText) {
      cell_.value = text_.text();
      if (cell_.value.empty()) cell_.kind = SheetCell::kEmpty;
    }
    int64_t placed = 0;
    for (; placed < cellRepeat_ && column_ < kSheetColumns; ++placed) cells_[column_++] = cell_;
    column_ = std::min(column_ + (cellRepeat_ - placed), kRowLimit);
    return true;
  }

  bool endRow() {
    const int64_t first = row_;
    row_ = std::min(row_ + repeat_, kRowLimit);
    if (AllEmpty(cells_) || rows_.row(first, row_ - first, cells_)) return true;
    outcome = WorkbookStatus::kStopped;
    return false;
  }

  SheetRows& rows_;
  std::string style_;                   // the table style being read
  std::set<std::string> hiddenStyles_;  // table styles of sheets not displayed
  int hiddenDepth_ = 0;                 // tables open inside a hidden sheet, itself included
  bool inTable_ = false;
  int64_t row_ = 1;  // the number of the next row
  int64_t repeat_ = 1;
  int64_t column_ = 0;
  SheetCell cells_[kSheetColumns];
  bool inCell_ = false;
  int64_t cellRepeat_ = 1;
  SheetCell cell_;
  CellText text_;
  int paragraphs_ = 0;
  int depth_ = 0;             // elements open inside the cell
  bool inParagraph_ = false;  // inside one of the cell's own paragraphs
};

WorkbookStatus ReadOpenDocument(ZipArchive& zip, SheetRows& rows) {
  ManifestHandler manifest;
  if (zip.has("META-INF/manifest.xml")) {
    const WorkbookStatus status = ParsePart(zip, "META-INF/manifest.xml", manifest);
    if (status != WorkbookStatus::kRead) return status;
    if (manifest.encrypted) return WorkbookStatus::kEncrypted;
  }
  SpreadsheetHandler handler(rows);
  return ParsePart(zip, "content.xml", handler);
}

}  // namespace

FileKind FileKindOf(std::string_view start) {
  if (start.starts_with("PK\x03\x04")) return FileKind::kZip;
  if (start.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return FileKind::kCompound;
  return FileKind::kOther;
}

bool IsEncryptedPackage(std::string_view bytes) {
  static constexpr char kName[] = "EncryptedPackage";
  std::string utf16;
  for (const char c : std::string_view(kName)) utf16 += {c, '\0'};
  return bytes.find(utf16) != std::string_view::npos;
}

namespace {

WorkbookStatus ReadArchive(ZipArchive& zip, SheetRows& rows) {
  const ZipStatus opened = zip.open();
  if (opened != ZipStatus::kOk) return FromZip(opened);
  if (zip.has("mimetype")) {
    std::string mimeType;
    const ZipStatus status = zip.readAll("mimetype", mimeType, 256);
    if (status != ZipStatus::kOk) return FromZip(status);
    if (mimeType == kOdsMimeType) return ReadOpenDocument(zip, rows);
    return WorkbookStatus::kNotWorkbook;
  }
  if (zip.has("[Content_Types].xml")) return ReadOfficeWorkbook(zip, rows);
  return WorkbookStatus::kNotWorkbook;
}

}  // namespace

WorkbookStatus ReadWorkbook(ByteSource& source, SheetRows& rows) {
  ZipArchive zip(source);
  const WorkbookStatus status = ReadArchive(zip, rows);
  // What a failed read left says nothing of the file; only the reader's own stop stands.
  if (zip.sourceFailed() && status != WorkbookStatus::kStopped) return WorkbookStatus::kUnreadable;
  return status;
}

WorkbookStatus ReadWorkbook(std::string_view bytes, SheetRows& rows) {
  MemorySource source{std::string(bytes), bytes.size()};
  return ReadWorkbook(source, rows);
}
