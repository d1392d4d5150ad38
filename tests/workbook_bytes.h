// Workbooks made byte by byte for the tests and the fuzzing: zip archives of stored
// (uncompressed) entries whose declared sizes and flags may lie, as a hostile archive's do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;
  std::string data;
  uint32_t declaredSize = UINT32_MAX;  // UINT32_MAX: the data's true size
  uint16_t flags = 0;                  // bit 0: encrypted
};

std::string StoredZip(const std::vector<ZipEntry>& entries);

// An OpenDocument spreadsheet whose content.xml holds body inside its spreadsheet element
// (the office, table and text prefixes declared), with more entries after it.
std::string OdsBytes(const std::string& body, std::vector<ZipEntry> more = {});

// An Office Open XML workbook of one sheet part whose sheetData holds rows, and the shared
// texts ("<si>" elements). The workbook names its sheets ("<sheet>" elements naming the sheet
// part as rId1; by default one, «Прайс»), then holds afterSheets (such as "<calcPr .../>").
std::string XlsxBytes(const std::string& rows, const std::string& shared, std::string sheets = "",
                      const std::string& afterSheets = "");
