#include "text/wide_text.h"

#include <gtest/gtest.h>

#include <cstdint>

// Each character with its UTF-8 bytes as the Unicode standard gives them.
TEST(WideText, KnownCharactersBothWays) {
  const struct {
    std::u16string wide;
    std::string utf8;
  } cases[] = {
      {u"", ""},
      {u"goods.txt", "goods.txt"},
      {u"\u00DC", "\xC3\x9C"},                        // Ü
      {u"\u0493", "\xD2\x93"},                        // ғ, Kazakh
      {u"\uFF0F", "\xEF\xBC\x8F"},                    // the full-width solidus: no '/'
      {u"\u5546\u54C1", "\xE5\x95\x86\xE5\x93\x81"},  // 商品
      {u"\U0001D11E", "\xF0\x9D\x84\x9E"},            // beyond 16 bits: a surrogate pair
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {std::u16string(1, u'\xD800'), "\xED\xA0\x80"},  // unpaired surrogates keep their code
      {std::u16string(1, u'\xDFFF') + u"a",
       "\xED\xBF\xBF"
       "a"},
      {std::u16string{u'\xDC00', u'\xD800'}, "\xED\xB0\x80\xED\xA0\x80"},  // a pair reversed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(c.wide), c.utf8) << c.utf8;
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.wide) << c.utf8;
  }
}

TEST(WideText, EveryUnitAndPairRoundTrips) {
  for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const std::u16string text{u'x', static_cast<char16_t>(unit), u'y'};
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text) << static_cast<uint32_t>(unit);
  }
  for (char16_t high = 0xD800; high <= 0xDBFF; high += 0x3F) {
    for (char16_t low = 0xDC00; low <= 0xDFFF; low += 0x3F) {
      const std::u16string text{high, low};
      ASSERT_EQ(Utf16ToUtf8(text).size(), 4u);
      ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text) << +high << " " << +low;
    }
  }
}

// Bytes that UTF-16 never gives: each byte that starts no whole sequence is one U+FFFD.
TEST(WideText, BytesOfNoSequenceAreReplaced) {
  const struct {
    std::string utf8;
    std::u16string wide;
  } cases[] = {
      {"bad\xFF.txt", u"bad\uFFFD.txt"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // an over-long '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // another
      {"\xC3", u"\uFFFD"},                                // cut at the end
      {"\xE5\x95/", u"\uFFFD\uFFFD/"},                    // cut by an ASCII byte, which stays
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.wide) << c.utf8;
}
