#include "text/cp1251.h"

#include <gtest/gtest.h>

TEST(Cp1251, EveryByteRoundTripsThroughUtf8) {
  for (unsigned b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in Windows-1251
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(W1251(Cp1251ToUtf8(byte)), byte) << "byte " << b;
  }
}

TEST(Cp1251, KnownLetters) {
  struct Case {
    unsigned char byte;
    char32_t codePoint;
  };
  const Case cases[] = {{0xC0, U'А'}, {0xFF, U'я'},   {0xA8, U'Ё'},   {0xB8, U'ё'},
                        {0xB9, U'№'}, {0xA0, 0x00A0}, {0x96, 0x2013}, {0x88, 0x20AC}};
  for (const Case& c : cases) EXPECT_EQ(Cp1251ToCodePoint(c.byte), c.codePoint);
}

TEST(Cp1251, MessagesConvert) {
  EXPECT_EQ(W1251("Нет ответа"), "\xCD\xE5\xF2 \xEE\xF2\xE2\xE5\xF2\xE0");
  EXPECT_EQ(Cp1251ToUtf8("\xCE\xCA\xC0 \xCF\xD4"), "ОКА ПФ");
  EXPECT_EQ(Cp1251ToUtf16("\xDF z"), u"Я z");
  EXPECT_EQ(W1251("€ ok ★"), "\x88 ok ?");  // a character outside Windows-1251
}
