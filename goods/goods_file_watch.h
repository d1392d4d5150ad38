// Reading the goods file for an upload while making sure that it stays the file it was: the
// goods must be those of one file as it stood, not of an export still being written.
#pragma once

#include <functional>
#include <string>

#include "goods/byte_source.h"
#include "goods/file_identity.h"
#include "goods/goods_table.h"
#include "text/message_style.h"

// "Файл изменился во время чтения: " and the file's name (Windows-1251).
std::string GoodsFileChangedText(const std::string& fileName);

// ReadGoodsFile for the upload: the file at path must be the one that before identifies
// (taken by its name before anything else was opened) when the first reading starts, each
// time the reading goes back to the file's start (after the first bytes that tell a text from
// a workbook, and between a text's two readings, encoding then goods) and once the reading
// has ended, when the name must still give that file (not another renamed over it). A file
// that changed is refused with GoodsFileChangedText, whatever else the reading found, and the
// table is left empty. Used by the upload and the check run alike.
bool ReadUnchangedGoodsFile(const std::string& path, const std::string& fileName,
                            bool wholeUnitPrices, const FileIdentity& before, GoodsTable& table,
                            const MessageSink& show);

// The same on any source, identityNow telling the file's identity at each of those moments.
bool ReadUnchangedGoodsFrom(ByteSource& source, const std::function<FileIdentity()>& identityNow,
                            const FileIdentity& before, const std::string& fileName,
                            bool wholeUnitPrices, GoodsTable& table, const MessageSink& show);
