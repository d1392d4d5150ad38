#include "tools/register_sim/goods_base.h"

#include <gtest/gtest.h>

#include "tests/byte_strings.h"

namespace {

// A "j" payload put together byte by byte: letter, last-line marker, flag, 24-byte name,
// price, group, code, bar code.
std::string ItemPayload(const std::string& head, const std::string& name, const std::string& tail) {
  std::string payload = FromHex(head) + name;
  payload.resize(27, ' ');
  return payload + FromHex(tail);
}

TEST(GoodsBase, DecodesEveryFieldOfAnItem) {
  const struct {
    const char* what;
    std::string payload;
    SimItem expected;
  } cases[] = {
      {"negative price, code from 70 11, 13-digit bar code",
       ItemPayload("6A 01 01", "MOLOKO\t", "6A FF FF FF 2C 70 11 01 B0 5D 05 2F 04"),
       {4464, "MOLOKO\t                 ", 4600000000001, -150, 44, 1, 1}},
      {"price 12345, no bar code",
       ItemPayload("6A 00 00", "X", "39 30 00 00 05 01 00 00 00 00 00 00 00"),
       {1, "X                       ", 0, 12345, 5, 0, 0}},
      {"bar code -5 and the largest code",
       ItemPayload("6A 00 01", "", "FF FF FF 7F FF FF FF FB FF FF FF FF FF"),
       {65535, std::string(24, ' '), -5, 2147483647, 255, 1, 0}},
      {"14-digit bar code and the lowest price",
       ItemPayload("6A 00 00", "\x01\x7F", "00 00 00 80 00 34 12 FF 3F 7A 10 F3 5A"),
       {0x1234, std::string("\x01\x7F") + std::string(22, ' '), 99999999999999, INT32_MIN, 0, 0,
        0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.payload.size(), 40u);
    const SimItem item = DecodeItem(c.payload);
    EXPECT_EQ(item.code, c.expected.code);
    EXPECT_EQ(item.name, c.expected.name);
    EXPECT_EQ(item.barcode, c.expected.barcode);
    EXPECT_EQ(item.price, c.expected.price);
    EXPECT_EQ(item.group, c.expected.group);
    EXPECT_EQ(item.flag, c.expected.flag);
    EXPECT_EQ(item.lastLine, c.expected.lastLine);
  }
}

std::string Item(uint8_t code, const std::string& name) {
  std::string payload = ItemPayload("6A 00 00", name, "01 00 00 00 00 00 00 00 00 00 00 00 00");
  payload[32] = static_cast<char>(code);
  return payload;
}

TEST(GoodsBase, CommandsClearStoreAndReplaceInPlace) {
  GoodsBase base;
  bool changed = false;
  const auto codes = [&]() {
    std::string list;
    for (const SimItem& i : base) list += std::to_string(i.code) + "=" + i.name.substr(0, 1) + " ";
    return list;
  };
  EXPECT_EQ(ApplyCommand(base, Item(7, "A"), changed), kDone);
  EXPECT_TRUE(changed);
  EXPECT_EQ(ApplyCommand(base, Item(3, "B"), changed), kDone);
  EXPECT_EQ(ApplyCommand(base, Item(9, "C"), changed), kDone);
  EXPECT_EQ(codes(), "7=A 3=B 9=C ");
  EXPECT_EQ(ApplyCommand(base, Item(3, "D"), changed), kDone);
  EXPECT_EQ(codes(), "7=A 3=D 9=C ");

  const struct {
    const char* what;
    std::string payload;
  } refused[] = {
      {"unknown letter", FromHex("71 00 00 00 00 00")},
      {"clear with a byte too few", FromHex("63 00 00 00 00")},
      {"clear with a byte too many", FromHex("63 00 00 00 00 00 00")},
      {"clear with a non-zero byte", FromHex("63 00 00 01 00 00")},
      {"item one byte short", Item(1, "E").substr(0, 39)},
      {"item one byte long", Item(1, "E") + '\0'},
      {"empty payload", ""},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.what);
    changed = true;
    EXPECT_EQ(ApplyCommand(base, r.payload, changed), kUnknownCommand);
    EXPECT_FALSE(changed);
    EXPECT_EQ(codes(), "7=A 3=D 9=C ");
  }

  EXPECT_EQ(ApplyCommand(base, FromHex("63 00 00 00 00 00"), changed), kDone);
  EXPECT_TRUE(changed);
  EXPECT_TRUE(base.empty());
}

TEST(GoodsBase, HasNoCapacityAndTheLastLineMarkerEndsNothing) {
  GoodsBase base;
  bool changed = false;
  // More items than any upload carries, every code from 0 up; the 1000th says "last line".
  for (uint32_t code = 0; code < 5000; ++code) {
    std::string payload = Item(0, "N");
    payload[1] = code == 999 ? '\1' : '\0';
    payload[32] = static_cast<char>(code & 0xFF);
    payload[33] = static_cast<char>(code >> 8);
    ASSERT_EQ(ApplyCommand(base, payload, changed), kDone) << code;
  }
  ASSERT_EQ(base.size(), 5000u);
  EXPECT_EQ(base[999].lastLine, 1);
  EXPECT_EQ(base[1000].lastLine, 0);
  EXPECT_EQ(base[4999].code, 4999);
}

TEST(GoodsBase, NamesAreEscapedForTsvCells) {
  const struct {
    std::string name;
    const char* cell;
  } cases[] = {
      {"HLEB  ", "HLEB  "},
      {"A\tB", "A\\tB"},
      {"C:\\D", "C:\\\\D"},
      {std::string("\x00\x1F\x20\x7E\x7F\x80\xFF", 7), "\\x00\\x1F ~\\x7F\\x80\\xFF"},
      {"\n\r", "\\x0A\\x0D"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeName(c.name), c.cell);
}

TEST(GoodsBase, TsvHasTheHeaderAndOneLinePerItem) {
  GoodsBase base;
  EXPECT_EQ(FormatGoodsTsv(base), "code\tname\tbarcode\tprice\tgroup\tflag\tlast\n");
  base.push_back({4464, "MOLOKO\t                 ", 4600000000001, -150, 44, 1, 1});
  base.push_back({2, "A\\B" + std::string(21, ' '), -5, 0, 0, 0, 0});
  EXPECT_EQ(FormatGoodsTsv(base),
            "code\tname\tbarcode\tprice\tgroup\tflag\tlast\n"
            "4464\tMOLOKO\\t                 \t4600000000001\t-150\t44\t1\t1\n"
            "2\tA\\\\B                     \t-5\t0\t0\t0\t0\n");
}

}  // namespace
