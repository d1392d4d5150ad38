// Reading the goods file into the goods table.
#pragma once

#include <string>

#include "goods/byte_source.h"
#include "goods/goods_table.h"
#include "text/message_style.h"

// "Не могу открыть файл: " and the file's name (Windows-1251): a file that does not open or
// breaks off while being read.
std::string CannotReadText(const std::string& fileName);

// Opens the file at path (the bytes the system names it by) and reads its goods lines into
// the table, which it makes empty first; the messages name the file fileName (Windows-1251).
// A file that does not open is refused with its message.
bool ReadGoodsFile(const std::string& path, const std::string& fileName, bool wholeUnitPrices,
                   GoodsTable& table, const MessageSink& show);

// Reads the goods lines of the bytes from source into the table, which it makes empty first;
// fileName is only for the messages. A file without a "<start>" line is refused. On failure
// it has told the user through show and returns false; nothing may then be sent. The file
// may be Windows-1251, UTF-8 or UTF-16 text (see DetectGoodsEncoding), or a workbook (.xlsx,
// .ods; see ReadWorkbook) whose first sheet with a "<start>" cell in column A is read row by
// row as its TAB-separated export would be; the table and the messages are Windows-1251.
bool ReadGoodsFrom(ByteSource& source, const std::string& fileName, bool wholeUnitPrices,
                   GoodsTable& table, const MessageSink& show);
