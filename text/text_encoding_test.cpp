#include "text/text_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Converts the text given in pieces cut at the positions listed, then ends it.
std::string ConvertInPieces(TextEncoding from, std::string_view bytes,
                            const std::vector<size_t>& cuts) {
  Cp1251Converter converter(from);
  std::string out;
  size_t start = 0;
  for (const size_t cut : cuts) {
    converter.convert(bytes.substr(start, cut - start), out);
    start = cut;
  }
  converter.convert(bytes.substr(start), out);
  converter.finish(out);
  return out;
}

// Every way of cutting the text once, and one byte at a time.
std::vector<std::vector<size_t>> CutsOf(size_t size) {
  std::vector<std::vector<size_t>> all{{}};
  std::vector<size_t> everyByte;
  for (size_t i = 1; i < size; ++i) {
    all.push_back({i});
    everyByte.push_back(i);
  }
  all.push_back(everyByte);
  return all;
}

struct Conversion {
  TextEncoding from;
  std::string bytes;
  std::string windows1251;
};

TEST(Cp1251Converter, TextInEveryEncodingAndAnyPieces) {
  const TextEncoding kUtf8 = TextEncoding::Utf8;
  const TextEncoding kLe = TextEncoding::Utf16LittleEndian;
  const TextEncoding kBe = TextEncoding::Utf16BigEndian;
  const Conversion cases[] = {
      // "Хлеб №1 «Ёж» €" in each encoding.
      {kUtf8,
       "\xD0\xA5\xD0\xBB\xD0\xB5\xD0\xB1 \xE2\x84\x96"
       "1 \xC2\xAB\xD0\x81\xD0\xB6\xC2\xBB \xE2\x82\xAC",
       "\xD5\xEB\xE5\xE1 \xB9"
       "1 \xAB\xA8\xE6\xBB \x88"},
      {kLe, std::string("\x25\x04\x3B\x04\x35\x04\x31\x04\x20\x00\x16\x21", 12),
       "\xD5\xEB\xE5\xE1 \xB9"},
      {kBe, std::string("\x04\x25\x04\x3B\x04\x35\x04\x31\x00\x20\x21\x16", 12),
       "\xD5\xEB\xE5\xE1 \xB9"},
      {TextEncoding::Windows1251, "\xD5\xEB\x98\x1A", "\xD5\xEB\x98\x1A"},
      // Characters Windows-1251 lacks: a star, a Greek letter, a face beyond U+FFFF.
      {kUtf8,
       "a\xE2\x98\x85"
       "b\xCE\xB1"
       "c\xF0\x9F\x98\x80"
       "d",
       "a?b?c?d"},
      {kLe, std::string("\x05\x26\xB1\x03\x3D\xD8\x00\xDE", 8), "???"},
      // Invalid UTF-8: each broken sequence, stray byte or forbidden form is one '?'.
      {kUtf8,
       "\xD0"
       "a",
       "?a"},
      {kUtf8, "\x80\xBF", "??"},
      {kUtf8, "\xC0\xAF", "??"},            // over-long '/'
      {kUtf8, "\xE0\x80\xAF", "???"},       // over-long, three bytes
      {kUtf8, "\xED\xA0\x80\xED\xBF\xBF", "??"},  // lone surrogates: one character each
      {kUtf8, "\xF4\x90\x80\x80", "????"},  // beyond U+10FFFF
      {kUtf8, "\xF5\xFF", "??"},
      {kUtf8,
       "\xE2\x98"
       "A",
       "?A"},
      {kUtf8, "x\xE2\x98", "x?"},           // cut off by the end of the text
      {kUtf8, "\xD5\xEB\xE5\xE1", "????"},  // Windows-1251 bytes are no UTF-8
      // UTF-16 units that are not characters, and an odd last byte.
      {kLe, std::string("\x00\xDC\x41\x00", 4), "?A"},  // a low surrogate alone
      {kLe, std::string("\x3D\xD8\x41\x00", 4), "?A"},  // a high surrogate alone
      {kBe, std::string("\x00\x41\xD8\x3D", 4), "A?"},  // a high surrogate at the end
      {kLe, std::string("\x41\x00\x42", 3), "A?"},
      // The end-of-file character passes as 0x1A; U+041A (1A 04) is the letter К.
      {kLe, std::string("\x1A\x00\x1A\x04", 4), "\x1A\xCA"},
      {kBe, std::string("\x00\x1A\x04\x1A", 4), "\x1A\xCA"},
      // U+FEFF, the byte-order mark, is dropped wherever it stands.
      {kUtf8,
       "\xEF\xBB\xBF"
       "a\r\n\xEF\xBB\xBF<b",
       "a\r\n<b"},
      {kLe, std::string("\xFF\xFE\x41\x00\xFF\xFE<\x00", 8), "A<"},
      {kBe, std::string("\xFE\xFF\x00\x41\xFE\xFF\x00<", 8), "A<"},
      // Line ends, TABs and "<" pass as they are.
      {kBe, std::string("\x00<\x00\t\x00\r\x00\n", 8), "<\t\r\n"},
  };
  for (const Conversion& c : cases) {
    for (const std::vector<size_t>& cuts : CutsOf(c.bytes.size())) {
      EXPECT_EQ(ConvertInPieces(c.from, c.bytes, cuts), c.windows1251)
          << "case '" << c.bytes << "' cut in " << cuts.size() + 1 << " piece(s)";
    }
  }
}

TEST(Cp1251Converter, EveryCharacterOfWindows1251ComesBack) {
  // U+0410..U+044F are 0xC0..0xFF; a few of the upper half's other characters.
  for (char32_t cp = 0x0410; cp <= 0x044F; ++cp) {
    EXPECT_EQ(static_cast<unsigned char>(CodePointToCp1251(cp)), 0xC0 + (cp - 0x0410));
  }
  const struct {
    char32_t codePoint;
    unsigned char byte;
  } known[] = {{0x0401, 0xA8}, {0x0451, 0xB8}, {0x2116, 0xB9}, {0x00A0, 0xA0},
               {0x20AC, 0x88}, {0x2014, 0x97}, {0x0490, 0xA5}, {0x045F, 0x9F},
               {0x0098, '?'},  {0xFFFD, '?'},  {0x00E9, '?'},  {0x10FFFF, '?'}};
  for (const auto& k : known) {
    EXPECT_EQ(static_cast<unsigned char>(CodePointToCp1251(k.codePoint)), k.byte)
        << std::hex << static_cast<uint32_t>(k.codePoint);
  }
}

TEST(ByteOrderMark, FoundOnlyWhole) {
  const struct {
    std::string start;
    TextEncoding encoding;
    size_t length;
  } cases[] = {
      {"\xEF\xBB\xBF<st", TextEncoding::Utf8, 3},
      {"\xFF\xFE<\x00", TextEncoding::Utf16LittleEndian, 2},
      {"\xFE\xFF\x00<", TextEncoding::Utf16BigEndian, 2},
      {"\xEF\xBB", TextEncoding::Windows1251, 0},
      {"\xFF", TextEncoding::Windows1251, 0},
      {"", TextEncoding::Windows1251, 0},
      {"<start>", TextEncoding::Windows1251, 0},
      {" \xEF\xBB\xBF", TextEncoding::Windows1251, 0},
  };
  for (const auto& c : cases) {
    const ByteOrderMark mark = FindByteOrderMark(c.start);
    EXPECT_EQ(mark.encoding, c.encoding) << c.start;
    EXPECT_EQ(mark.length, c.length) << c.start;
  }
}

TEST(Utf8Check, ValidOnlyWhenEveryByteFits) {
  // Each invalid byte or broken-off sequence counts once, as the conversion makes one '?' of
  // it (a valid character that Windows-1251 lacks is a '?' too, but not an invalid one).
  const struct {
    std::string text;
    bool valid;
    uint64_t multibyte;
    uint64_t invalid;
    uint64_t marks = invalid;  // '?' marks in the conversion
  } cases[] = {
      {"", true, 0, 0},
      {"<start>\r\n1\t", true, 0, 0},
      {"\xD0\xA5\xD0\xBB\xD0\xB5\xD0\xB1", true, 4, 0},  // "Хлеб"
      {"\xF0\x9F\x98\x80", true, 1, 0, 1},               // beyond U+FFFF is valid
      {"\xEF\xBB\xBF", true, 1, 0},
      {"\xD5\xEB\xE5\xE1", false, 0, 4},       // "Хлеб" in Windows-1251
      {"\xD0\xA5\xE1", false, 1, 1},           // UTF-8, then a Windows-1251 letter at the end
      {"\xD0\xA5\xE1 \xD0\xA5", false, 2, 1},  // ... with more after it
      {"\xD0", false, 0, 1},                   // cut short
      {"\xC0\xAF", false, 0, 2},
      {"\xED\xA0\x80", false, 0, 3, 1},  // a surrogate: no UTF-8, yet one character
      {"\xF4\x90\x80\x80", false, 0, 4},
      {"\x80", false, 0, 1},
  };
  for (const auto& c : cases) {
    for (const bool byteByByte : {false, true}) {
      Utf8Check check;
      if (byteByByte) {
        for (const char b : c.text) check.feed(std::string_view(&b, 1));
      } else {
        check.feed(c.text);
      }
      EXPECT_EQ(check.valid(), c.valid) << c.text;
      EXPECT_EQ(check.multibyte(), c.multibyte) << c.text;
      EXPECT_EQ(check.invalid(), c.invalid) << c.text;
      // As many '?' marks as invalid bytes counted.
      const std::string converted = Utf8ToCp1251(c.text);
      EXPECT_EQ(static_cast<uint64_t>(std::count(converted.begin(), converted.end(), '?')), c.marks)
          << c.text;
    }
  }
}

TEST(Utf8ToCp1251, WholeTexts) {
  EXPECT_EQ(Utf8ToCp1251("\xD0\xA2\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80\xD1\x8B/\xD0\xB1.txt"),
            "\xD2\xEE\xE2\xE0\xF0\xFB/\xE1.txt");  // "Товары/б.txt"
  EXPECT_EQ(Utf8ToCp1251("\xE4\xB8\xAD.txt"), "?.txt");
  EXPECT_EQ(Utf8ToCp1251("\xD2\xEE.txt"), "??.txt");  // a name not in UTF-8
}

}  // namespace
