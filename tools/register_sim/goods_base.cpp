#include "tools/register_sim/goods_base.h"

#include <cstdio>

namespace {

constexpr char kItemLetter = 'j';

uint64_t LittleEndian(std::string_view bytes) {
  uint64_t value = 0;
  for (size_t i = bytes.size(); i > 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes[i - 1]);
  }
  return value;
}

uint8_t Byte(std::string_view bytes, size_t at) { return static_cast<unsigned char>(bytes[at]); }

}  // namespace

SimItem DecodeItem(std::string_view payload) {
  SimItem item;
  item.lastLine = Byte(payload, kItemLastLineAt);
  item.flag = Byte(payload, kItemFlagAt);
  // The name stays in the register's 7-bit character set, byte for byte.
  item.name = std::string(payload.substr(kItemNameAt, kItemNameLength));
  item.price =
      static_cast<int32_t>(static_cast<uint32_t>(LittleEndian(payload.substr(kItemPriceAt, 4))));
  item.group = Byte(payload, kItemGroupAt);
  item.code = static_cast<uint16_t>(LittleEndian(payload.substr(kItemCodeAt, 2)));
  // Six bytes of a 64-bit two's complement number: bit 47 stands for the sign.
  const uint64_t barcode = LittleEndian(payload.substr(kItemBarcodeAt, kItemBarcodeLength));
  constexpr uint64_t kSignBit = uint64_t{1} << (8 * kItemBarcodeLength - 1);
  item.barcode = static_cast<int64_t>(barcode ^ kSignBit) - static_cast<int64_t>(kSignBit);
  return item;
}

void StoreItem(GoodsBase& base, const SimItem& item) {
  for (SimItem& present : base) {
    if (present.code == item.code) {
      present = item;
      return;
    }
  }
  base.push_back(item);
}

uint8_t ApplyCommand(GoodsBase& base, std::string_view payload, bool& changed) {
  changed = false;
  if (payload == std::string_view("c\0\0\0\0\0", kClearPayloadLength)) {
    base.clear();
    changed = true;
    return kDone;
  }
  if (payload.size() == kItemPayloadLength && payload[kItemLetterAt] == kItemLetter) {
    StoreItem(base, DecodeItem(payload));
    changed = true;
    return kDone;
  }
  return kUnknownCommand;
}

std::string EscapeName(std::string_view name) {
  std::string text;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\t') {
      text += "\\t";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (b < 0x20 || b >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      text += hex;
    } else {
      text += c;
    }
  }
  return text;
}

std::string FormatGoodsTsv(const GoodsBase& base) {
  std::string tsv = "code\tname\tbarcode\tprice\tgroup\tflag\tlast\n";
  for (const SimItem& item : base) {
    tsv += std::to_string(item.code) + '\t' + EscapeName(item.name) + '\t' +
           std::to_string(item.barcode) + '\t' + std::to_string(item.price) + '\t' +
           std::to_string(item.group) + '\t' + std::to_string(item.flag) + '\t' +
           std::to_string(item.lastLine) + '\n';
  }
  return tsv;
}
