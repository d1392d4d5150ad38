#include "tests/byte_strings.h"

#include <gtest/gtest.h>

TEST(ByteStrings, WrittenAsNumbersOrAsHex) {
  const struct {
    std::string made;
    std::string expected;
  } cases[] = {
      {Bytes({0x17, 0x0B, 0x63}), "\x17\x0B\x63"},
      {Bytes({0, 0xFF, 0x80}), std::string("\0\xFF\x80", 3)},
      {Bytes({}), ""},
      {FromHex("17 0B 63"), "\x17\x0B\x63"},
      {FromHex("170b63"), "\x17\x0B\x63"},
      {FromHex("00 ff 80"), std::string("\0\xFF\x80", 3)},
      {FromHex(""), ""},
      {FromHex("1"), ""},  // half a pair is no byte
  };
  for (const auto& c : cases) EXPECT_EQ(c.made, c.expected) << Hex(c.expected);
}

TEST(ByteStrings, ShownAsUpperCaseHexPairs) {
  EXPECT_EQ(Hex(std::string("\x17\x0B\x63", 3)), "17 0B 63");
  EXPECT_EQ(Hex(std::string("\0\xAB\xFF", 3)), "00 AB FF");
  EXPECT_EQ(Hex(""), "");
  EXPECT_EQ(FromHex(Hex(std::string("\x19\x00\x85", 3))), std::string("\x19\x00\x85", 3));
}
