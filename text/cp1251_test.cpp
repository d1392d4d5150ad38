#include "text/cp1251.h"

#include <gtest/gtest.h>

#include "text/text_encoding.h"

namespace {

const char* const kUpperHalfUtf8[128] = {
#include "text/cp1251_utf8_reference.inc"
};

}  // namespace

// Every byte against the reference table, both ways: to UTF-8 and back from it.
TEST(Cp1251, EveryByteRoundTripsThroughUtf8) {
  for (unsigned b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    if (b >= 0x80 && kUpperHalfUtf8[b - 0x80] == nullptr) {
      // Unassigned: shown as U+FFFD, the replacement character.
      EXPECT_EQ(Cp1251ToUtf8(byte), "\xEF\xBF\xBD") << "byte " << b;
      continue;
    }
    const std::string reference = b < 0x80 ? byte : kUpperHalfUtf8[b - 0x80];
    EXPECT_EQ(Cp1251ToUtf8(byte), reference) << "byte " << b;
    EXPECT_EQ(Utf8ToCp1251(reference), byte) << "byte " << b;
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

TEST(LowerLatin, OnlyTheLatinCapitalsChange) {
  const struct {
    char byte;
    char lowered;
  } cases[] = {
      {'A', 'a'}, {'R', 'r'}, {'Z', 'z'}, {'a', 'a'},       {'z', 'z'},       {'@', '@'},
      {'[', '['}, {'/', '/'}, {'9', '9'}, {'\xC0', '\xC0'}, {'\xE0', '\xE0'}, {'\xA8', '\xA8'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LowerLatin(c.byte), c.lowered) << static_cast<int>(c.byte);
  }
}

TEST(Cp1251, MessagesConvert) {
  EXPECT_EQ(Utf8ToCp1251("Нет ответа"), "\xCD\xE5\xF2 \xEE\xF2\xE2\xE5\xF2\xE0");
  EXPECT_EQ(Cp1251ToUtf8("\xCE\xCA\xC0 \xCF\xD4"), "ОКА ПФ");
  EXPECT_EQ(Cp1251ToUtf16("\xDF z"), u"Я z");
  EXPECT_EQ(Utf8ToCp1251("€ ok ★"), "\x88 ok ?");  // a character outside Windows-1251
}
