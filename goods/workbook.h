// A spreadsheet saved as a workbook, Office Open XML (.xlsx) or OpenDocument (.ods), read row
// by row from the values its cells hold: a number as the number stored, a text as its text, a
// formula as its last computed value, where the file holds one. Sheets the workbook hides are
// not read; formatting, hidden rows and what the sheet shows are not looked at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "goods/byte_source.h"

enum class FileKind {
  kOther,
  kZip,       // a zip archive, as a workbook is
  kCompound,  // an OLE compound file: an old binary workbook (.xls) or a password-protected one
};
// What a file's first bytes (eight are enough) show it to be.
FileKind FileKindOf(std::string_view start);

// Whether a compound file holds a password-protected Office document (its "EncryptedPackage"
// stream) rather than an old binary workbook.
bool IsEncryptedPackage(std::string_view bytes);

constexpr int kSheetColumns = 6;  // columns A to F
// The most one piece of markup (a tag with its attributes, a comment) may hold: far more than
// any workbook writes, and small enough that the XML parser never holds much more.
constexpr size_t kMarkupLimit = 4u << 20;

struct SheetCell {
  // kNoValue: a formula whose value the file does not hold, either none at all or one the
  // workbook itself declares stale (it asks to be computed again when opened): what the sheet
  // shows is not in the file.
  enum Kind { kEmpty, kText, kNumber, kNoValue };
  Kind kind = kEmpty;
  // kText: the text, UTF-8. kNumber: the number as the workbook stores it, a decimal in the
  // form of the XML Schema ("89.9", "4607001001010", "1.5E-3"); a truth value as 1 or 0.
  std::string value;
};

// Where the rows go, visible sheet by visible sheet in the workbook's order.
class SheetRows {
 public:
  virtual ~SheetRows() = default;
  virtual void beginSheet(std::string_view utf8Name) = 0;
  // A row of the sheet, numbered as the user sees it (from 1), with its cells in columns A to
  // F, standing repeat times in a row (rows number to number + repeat - 1; OpenDocument
  // writes a run of equal rows once). Empty rows may be left out. False stops the reading.
  virtual bool row(int64_t number, int64_t repeat, const SheetCell (&cells)[kSheetColumns]) = 0;
  // The sheet has ended; true when it was the one to read, so that no later sheet is read.
  virtual bool endSheet() = 0;
};

enum class WorkbookStatus {
  kRead,
  kNotWorkbook,  // a readable zip archive that holds no workbook
  kDamaged,
  kEncrypted,
  kTooLarge,  // beyond the limits that keep a hostile file harmless (see ZipArchive)
  kStopped,     // SheetRows::row returned false
  kUnreadable,  // the file could not be read (a read error, not its content)
};

// Reads the visible sheets of the workbook whose bytes (a zip archive) are given, handing
// their rows to rows until a sheet is the one or the sheets run out; nothing after that sheet
// is inflated. Only the parts that hold the sheets are inflated, one at a time, each piece of
// XML as it comes, and each part once; what is kept is the workbook's shared texts (.xlsx). No
// XML document type is allowed, so no entity is ever expanded, and no single piece of markup
// (a tag, a comment) may run longer than kMarkupLimit.
// The workbook is read from source, which tells its size and seeks; it is never held whole.
WorkbookStatus ReadWorkbook(ByteSource& source, SheetRows& rows);
WorkbookStatus ReadWorkbook(std::string_view bytes, SheetRows& rows);
