#include "app/check_run.h"

#include <map>
#include <vector>

#include "app/run_control.h"
#include "goods/goods_file_watch.h"
#include "register/register_charset.h"
#include "register/upload_exchange.h"
#include "text/plural.h"
#include "text/text_encoding.h"

namespace {

constexpr size_t kRepeatedCodesShown = 5;
constexpr size_t kRepeatedLinesShown = 5;  // of one code

// The codes that stand on more than one line, in the order they first come, with their lines.
struct RepeatedCode {
  int32_t code = 0;
  std::vector<int64_t> lines;
};

std::vector<RepeatedCode> RepeatedCodes(const GoodsTable& table) {
  std::vector<RepeatedCode> codes;
  std::map<int32_t, size_t> seen;  // code -> its place in codes
  for (size_t i = 1; i <= static_cast<size_t>(table.GoodsCount); ++i) {
    const auto [at, fresh] = seen.try_emplace(table.Code[i], codes.size());
    if (fresh) codes.push_back({table.Code[i], {}});
    codes[at->second].lines.push_back(table.Line[i]);
  }
  std::erase_if(codes, [](const RepeatedCode& c) { return c.lines.size() < 2; });
  return codes;
}

}  // namespace

// A control byte would break the listing's line or act on the terminal: it is shown as "?",
// as messages show it.
std::string ListedName(const std::string& stored) {
  std::string name = toRegisterCharset(stored);
  name.erase(name.find_last_not_of(" \t") + 1);
  for (char& c : name) {
    if ((c >= 0 && c < 0x20) || c == 0x7F) c = '?';
  }
  return name;
}

std::string GoodsCountText(int64_t count) {
  const char* noun = RussianNounForm(static_cast<uint64_t>(count), "товар", "товара", "товаров");
  return std::to_string(count) + " " + Utf8ToCp1251(noun);
}

std::string CheckedFileText(const GoodsTable& table) {
  std::string text = Utf8ToCp1251("Файл товаров в порядке: ") + GoodsCountText(table.GoodsCount);
  if (!table.Sheet.empty()) text += Utf8ToCp1251(" (лист «") + table.Sheet + Utf8ToCp1251("»)");
  const std::vector<RepeatedCode> repeated = RepeatedCodes(table);
  for (size_t n = 0; n < repeated.size() && n < kRepeatedCodesShown; ++n) {
    text += n == 0 ? Utf8ToCp1251("; коды повторяются: ") : ", ";
    text += std::to_string(repeated[n].code) + Utf8ToCp1251(" (строки ");
    const std::vector<int64_t>& lines = repeated[n].lines;
    for (size_t l = 0; l < lines.size() && l < kRepeatedLinesShown; ++l) {
      text += (l == 0 ? "" : ", ") + std::to_string(lines[l]);
    }
    if (lines.size() > kRepeatedLinesShown) {
      text += Utf8ToCp1251(" и ещё ") + std::to_string(lines.size() - kRepeatedLinesShown);
    }
    text += ")";
  }
  if (repeated.size() > kRepeatedCodesShown) {
    text += Utf8ToCp1251("; и ещё ") + std::to_string(repeated.size() - kRepeatedCodesShown);
  }
  return text;
}

std::string GoodsListing(const GoodsTable& table) {
  std::string listing;
  for (size_t i = 1; i <= static_cast<size_t>(table.GoodsCount); ++i) {
    listing += std::to_string(table.Code[i]) + '\t' + ListedName(table.Name[i]) + '\t' +
               std::to_string(UploadExchange::barcodeNumber(table.Barcode[i])) + '\t' +
               std::to_string(table.Price[i]) + '\t' + std::to_string(table.Group[i]) + '\t' +
               std::to_string(table.Flag[i]) + '\t' + std::to_string(table.Line[i]) + '\n';
  }
  return listing;
}

int RunCheck(const RunOptions& options, const FileIdentity& goodsBefore, GoodsTable& table,
             const MessageSink& show) {
  // "/t /e" asks for a check that sends nothing and a clear run at once: neither is done.
  if (options.clearDatabase || options.goodsFileName.empty()) {
    show(BuildUsageText(), kIconInformation);
    return kExitUsage;
  }
  const std::string& path = options.goodsFileName;
  if (!ReadUnchangedGoodsFile(path, Utf8ToCp1251(path), options.wholeUnitPrices, goodsBefore, table,
                              show)) {
    return kExitFailure;
  }
  ReportCheckedFile(options, table, CheckedFileText(table), show);
  return kExitCompleted;
}
