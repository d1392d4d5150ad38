#include "tests/workbook_bytes.h"

#include "zlib.h"

namespace {

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

const char kTable[] =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"";

const char kMain[] = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
const char kRelations[] =
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
const char kRelationType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

}  // namespace

std::string StoredZip(const std::vector<ZipEntry>& entries) {
  std::string archive;
  std::string directory;
  for (const ZipEntry& e : entries) {
    const auto crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    const auto size = static_cast<uint32_t>(e.data.size());
    const uint32_t declared = e.declaredSize == UINT32_MAX ? size : e.declaredSize;
    std::string common;  // version needed, flags, method 0, time, date, CRC, sizes, name length
    Put(common, 20, 2);
    Put(common, e.flags, 2);
    Put(common, 0, 2);
    Put(common, 0, 4);
    Put(common, crc, 4);
    Put(common, size, 4);
    Put(common, declared, 4);
    Put(common, static_cast<uint32_t>(e.name.size()), 2);
    Put(common, 0, 2);
    Put(directory, 0x02014b50, 4);
    Put(directory, 20, 2);
    directory += common;
    Put(directory, 0, 2);  // comment length
    Put(directory, 0, 4);  // disk, internal attributes
    Put(directory, 0, 4);  // external attributes
    Put(directory, static_cast<uint32_t>(archive.size()), 4);
    directory += e.name;
    Put(archive, 0x04034b50, 4);
    archive += common + e.name + e.data;
  }
  const auto count = static_cast<uint32_t>(entries.size());
  const auto offset = static_cast<uint32_t>(archive.size());
  archive += directory;
  Put(archive, 0x06054b50, 4);
  Put(archive, 0, 4);
  Put(archive, count, 2);
  Put(archive, count, 2);
  Put(archive, static_cast<uint32_t>(directory.size()), 4);
  Put(archive, offset, 4);
  Put(archive, 0, 2);
  return archive;
}

std::string OdsBytes(const std::string& body, std::vector<ZipEntry> more) {
  more.insert(more.begin(), {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                             {"content.xml", std::string("<office:document-content ") + kTable +
                                                 "><office:body><office:spreadsheet>" + body +
                                                 "</office:spreadsheet></office:body>"
                                                 "</office:document-content>"}});
  return StoredZip(more);
}

std::string XlsxBytes(const std::string& rows, const std::string& shared, std::string sheets,
                      const std::string& afterSheets) {
  if (sheets.empty()) sheets = "<sheet name=\"Прайс\" sheetId=\"1\" r:id=\"rId1\"/>";
  const std::string relation = std::string("<Relationship Id=\"rId1\" Type=\"") + kRelationType;
  return StoredZip({
      {"[Content_Types].xml", "<Types/>"},
      {"_rels/.rels", "<Relationships>" + relation +
                          "officeDocument\" Target=\"xl/workbook.xml\"/>"
                          "</Relationships>"},
      {"xl/workbook.xml", std::string("<workbook ") + kMain + " " + kRelations + "><sheets>" +
                              sheets + "</sheets>" + afterSheets + "</workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships>" + relation + "worksheet\" Target=\"worksheets/sheet1.xml\"/>" +
           std::string("<Relationship Id=\"rId2\" Type=\"") + kRelationType +
           "sharedStrings\" Target=\"/xl/sharedStrings.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml",
       std::string("<worksheet ") + kMain + "><sheetData>" + rows + "</sheetData></worksheet>"},
      {"xl/sharedStrings.xml", std::string("<sst ") + kMain + ">" + shared + "</sst>"},
  });
}
