#include "register/register_charset.h"

#include <gtest/gtest.h>

#include "text/text_encoding.h"

TEST(RegisterCharset, SampleNames) {
  const struct {
    const char* utf8;
    const char* expected;
  } cases[] = {
      {"Молоко 3,2%", "moloko 3,2%"},
      {"Ёжик", "evik"},
      {"Coca-Cola 0,5л", "COCA-COLA 0,5l"},
      {"", ""},
      {"Щи, Чай, Шар, Съел, Эхо, Юла, Я", "}i, ~aj, {ar, s_el, `ho, @la, q"},
      {"№ «ёлка» – Їжак Ґ", "? ?elka? ? ?vak ?"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(toRegisterCharset(Utf8ToCp1251(c.utf8)), c.expected) << c.utf8;
}

TEST(RegisterCharset, WholeTableCapitalAndSmallAlike) {
  const std::string capitals = Utf8ToCp1251("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
  const std::string smalls = Utf8ToCp1251("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
  const std::string expected = "abwgdeevzijklmnoprstufhc~{}_yx`@q";
  EXPECT_EQ(toRegisterCharset(capitals), expected);
  EXPECT_EQ(toRegisterCharset(smalls), expected);
}

TEST(RegisterCharset, EveryByteMapsBelow0x80AndKeepsLength) {
  std::string all;
  for (unsigned b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string out = toRegisterCharset(all);
  ASSERT_EQ(out.size(), 256u);
  int questionMarks = 0;
  for (unsigned b = 0; b < 256; ++b) {
    const auto o = static_cast<unsigned char>(out[b]);
    EXPECT_LT(o, 0x80u);
    if (b < 0x80) {
      EXPECT_EQ(o, b >= 'a' && b <= 'z' ? b - 0x20 : b) << b;
    } else if (o == '?') {
      ++questionMarks;
    }
  }
  EXPECT_EQ(questionMarks, 128 - 66);  // every high byte but the 66 letters
}

TEST(RegisterCharset, PaddedNameKeepsTabAndBlanks) {
  const std::string name = Utf8ToCp1251("Хлеб") + "\t" + std::string(19, ' ');
  ASSERT_EQ(name.size(), 24u);
  EXPECT_EQ(toRegisterCharset(name), "hleb\t" + std::string(19, ' '));
}
