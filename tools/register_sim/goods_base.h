// The register's goods base as the simulator keeps it, and what the commands do to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The "j" payload, 40 bytes; numbers little-endian.
constexpr size_t kItemLetterAt = 0;    // 'j'
constexpr size_t kItemLastLineAt = 1;  // 1 on the last item of an upload
constexpr size_t kItemFlagAt = 2;
constexpr size_t kItemNameAt = 3;
constexpr size_t kItemNameLength = 24;
constexpr size_t kItemPriceAt = kItemNameAt + kItemNameLength;  // 4 bytes, signed
constexpr size_t kItemGroupAt = kItemPriceAt + 4;               // 1 byte
constexpr size_t kItemCodeAt = kItemGroupAt + 1;                // 2 bytes
constexpr size_t kItemBarcodeAt = kItemCodeAt + 2;              // 6 bytes, signed
constexpr size_t kItemBarcodeLength = 6;
constexpr size_t kItemPayloadLength = kItemBarcodeAt + kItemBarcodeLength;
static_assert(kItemPayloadLength == 40);

// The "c" payload: the letter and five 0x00 bytes.
constexpr size_t kClearPayloadLength = 6;

// Answer codes of the simulated register.
constexpr uint8_t kDone = 0;
constexpr uint8_t kUnknownCommand = 1;

// One goods item as the "j" command carries it.
struct SimItem {
  uint16_t code = 0;
  std::string name;     // the 24 bytes as sent, in the register's 7-bit character set
  int64_t barcode = 0;  // the 48-bit number, its top bit read as the sign
  int32_t price = 0;
  uint8_t group = 0;
  uint8_t flag = 0;
  uint8_t lastLine = 0;  // 1 on the last item of an upload
};

// Items in arrival order; a code appears at most once.
using GoodsBase = std::vector<SimItem>;

// Reads the fields of a 40-byte "j" payload (letter, last-line marker, flag, name, price
// int32 LE, group, code uint16 LE, bar code 6 bytes LE). The caller has checked the size.
SimItem DecodeItem(std::string_view payload);

// Stores an item: one with a code already present replaces it in place, else it is added.
void StoreItem(GoodsBase& base, const SimItem& item);

// Carries out the command in a frame's payload on the base and returns the answer code:
// "c" + five 0x00 empties it, "j" with 40 bytes stores an item, anything else is unknown
// (kUnknownCommand) and leaves the base alone. changed tells whether the base was touched.
uint8_t ApplyCommand(GoodsBase& base, std::string_view payload, bool& changed);

// A name for one TSV cell: TAB as \t, backslash as \\, other bytes below 0x20 or from 0x7F
// up as \xNN (upper-case hex); everything else, trailing blanks too, as it is.
std::string EscapeName(std::string_view name);

// The whole base as TSV: the header line, then one line per item, each ended by "\n".
std::string FormatGoodsTsv(const GoodsBase& base);
