// The check run ("/t"): the goods file read and checked exactly as an upload reads it, and
// what the register would get shown, without a port being opened.
#pragma once

#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "goods/file_identity.h"
#include "goods/goods_table.h"
#include "text/message_style.h"

// "1 товар", "2 товара", "5 товаров": the number and the noun in the form Russian gives it
// after that number (Windows-1251).
std::string GoodsCountText(int64_t count);

// What the check says of a file that would load (Windows-1251): "Файл товаров в порядке:
// 5 товаров", and for a workbook the sheet read, " (лист «Прайс»)". When codes repeat (the
// register keeps only the item sent last of each), the same line goes on "; коды
// повторяются: 102 (строки 2, 4)": the codes in the order they first come, each with the
// first five lines it stands on ("102 (строки 3, 4, 5, 6, 7 и ещё 2995)"), at most five codes,
// then "; и ещё K".
std::string CheckedFileText(const GoodsTable& table);

// A stored name (kNameWidth bytes) as the register will hold it: in its letters, without the
// blanks and the TAB that fill the column, a control byte shown as "?". Plain ASCII.
std::string ListedName(const std::string& stored);

// The goods as the register will hold them, one line an item, seven fields separated by TABs:
// the code, the name in the register's letters (cut to its width, trailing blanks and TAB
// dropped, a control byte shown as "?"), the bar code's number, the price as sent, the group,
// the flag and the item's line in the goods file. Plain ASCII.
std::string GoodsListing(const GoodsTable& table);

// Reads the file the options name into the table, as the upload run would (goodsBefore is the
// file as it was at the start), and tells what the register would get; nothing is opened but
// the goods file. "/t" with "/e" or without a file name shows the usage text. Returns the exit
// status.
int RunCheck(const RunOptions& options, const FileIdentity& goodsBefore, GoodsTable& table,
             const MessageSink& show);

// Shows the check's verdict on a file that would load: on Linux the listing goes to standard
// output and the text to standard error as a warning line; on Windows the check window shows
// the text and the goods (an information box with the text where the window cannot be made).
void ReportCheckedFile(const RunOptions& options, const GoodsTable& table, const std::string& text,
                       const MessageSink& show);
