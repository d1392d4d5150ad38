#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/expected_usage.h"
#include "text/text_encoding.h"

TEST(SkipProgramName, AsWindowsWritesIt) {
  const struct {
    const char* commandLine;
    const char* arguments;
  } cases[] = {
      {"TALLY.EXE goods.txt /2", "goods.txt /2"},
      {"\"C:\\Program Files\\TALLY.EXE\"   \"my goods.txt\"", "\"my goods.txt\""},
      {"\"C:\\TALLY.EXE\"goods.txt", "goods.txt"},
      {"TALLY.EXE", ""},
      {"\"C:\\unterminated goods.txt", ""},
      {"", ""},
      {"TALLY.EXE\tgoods.txt", "goods.txt"},  // a TAB is a blank
      {"\"C:\\TALLY.EXE\"\t \tgoods.txt\t/2", "goods.txt\t/2"},
  };
  for (const auto& c : cases) EXPECT_EQ(SkipProgramName(c.commandLine), c.arguments);
}

namespace {

struct Expected {
  int32_t port;
  int32_t baudRate;
  bool wholeUnits;
  bool clear;
  std::string fileName;
};

void ExpectOptions(const RunOptions& o, const Expected& e, const std::string& given) {
  EXPECT_EQ(o.port, e.port) << given;
  EXPECT_EQ(o.baudRate, e.baudRate) << given;
  EXPECT_EQ(o.wholeUnitPrices, e.wholeUnits) << given;
  EXPECT_EQ(o.clearDatabase, e.clear) << given;
  EXPECT_EQ(o.goodsFileName, e.fileName) << given;
}

}  // namespace

TEST(ParseCommandLine, Switches) {
  const struct {
    const char* arguments;
    int32_t port;
    int32_t baudRate;
    bool wholeUnits;
    bool clear;
    const char* fileName;
  } cases[] = {
      {"", 1, 19200, false, false, ""},
      {"   ", 1, 19200, false, false, ""},
      {"goods.txt", 1, 19200, false, false, "goods.txt"},
      {"/2 /9600", 2, 9600, false, false, ""},
      {"/E", 1, 19200, false, true, ""},
      {"/e goods.txt", 1, 19200, false, true, "goods.txt"},
      {"/R Goods.TXT", 1, 19200, true, false, "Goods.TXT"},  // the name keeps its case
      {"goods.txt/2", 2, 19200, false, false, "goods.txt"},
      {"/2/9600 goods.txt", 2, 9600, false, false, "goods.txt"},
      {"goods.txt /2/9600/R", 2, 9600, true, false, "goods.txt"},
      {"/2 goods.txt /2", 2, 19200, false, false, "goods.txt"},     // given twice, taken once
      {"/2 my goods.txt", 2, 19200, false, false, "my goods.txt"},  // inner blanks stay
      // A switch inside a path is part of the path: a path never starts the clear run.
      {"c:/rates/goods.txt", 1, 19200, false, false, "c:/rates/goods.txt"},
      {"/srv/exports/goods.txt", 1, 19200, false, false, "/srv/exports/goods.txt"},
      {"Exports/e 2025.txt", 1, 19200, false, false, "Exports/e 2025.txt"},
      {"data/2 shop.txt", 1, 19200, false, false, "data/2 shop.txt"},
      {"/srv/data/e", 1, 19200, false, false, "/srv/data/e"},
      {"/srv/data/E /2", 2, 19200, false, false, "/srv/data/E"},
      {"/home/r/e /2", 2, 19200, false, false, "/home/r/e"},
      {"goods.txt/e", 1, 19200, false, false, "goods.txt/e"},  // "/e" glued is name
      {"goods.txt/e/2", 2, 19200, false, false, "goods.txt/e"},
      {"goods.txt/2/e", 1, 19200, false, false, "goods.txt/2/e"},
      {"a/2 b/9600", 1, 9600, false, false, "a/2 b"},  // glued only to the last name word
      // Glued to the last name word, with only switch words after it.
      {"goods.txt/2/9600 /r", 2, 9600, true, false, "goods.txt"},
      {"goods.txt/R /E", 1, 19200, true, true, "goods.txt"},
      {"\"my goods.txt\"/2", 2, 19200, false, false, "my goods.txt"},
      // Switch words anywhere, written together or apart.
      {"/e/2", 2, 19200, false, true, ""},
      {"/E/2 goods.txt", 2, 19200, false, true, "goods.txt"},
      {"/r/e/2/9600", 2, 9600, true, true, ""},
      {"my /2 goods.txt", 2, 19200, false, false, "my  goods.txt"},  // its blanks stay
      {"goods.txt/2 /2", 2, 19200, false, false, "goods.txt"},       // given twice, taken once
      {"/9600/9600 goods.txt", 1, 9600, false, false, "goods.txt"},
      {"/2/ goods.txt", 1, 19200, false, false, "/2/ goods.txt"},
      {"goods.txt/", 1, 19200, false, false, "goods.txt/"},
      {"goods.txt/96000", 1, 19200, false, false, "goods.txt/96000"},
      {"/20 goods.txt", 1, 19200, false, false, "/20 goods.txt"},
      {"/x goods.txt", 1, 19200, false, false, "/x goods.txt"},
      {"/2/x goods.txt", 1, 19200, false, false, "/2/x goods.txt"},  // chain broken by /x
      // A TAB is a blank between words; between two name words it stays as written.
      {"/9600\tgoods.txt", 1, 9600, false, false, "goods.txt"},
      {"\tgoods.txt\t/2\t/R\t", 2, 19200, true, false, "goods.txt"},
      {"my\tgoods.txt", 1, 19200, false, false, "my\tgoods.txt"},
      // A quoted name is one word: its blanks and switch-like text are the name's, and the
      // quotes go. Only switch words and a chain glued after the last quote count.
      {"\"C:\\My Goods\\goods.txt\" /2", 2, 19200, false, false, "C:\\My Goods\\goods.txt"},
      {"\"Z:\\Exports /e 2025\\goods.txt\"", 1, 19200, false, false,
       "Z:\\Exports /e 2025\\goods.txt"},
      {"\"my goods.txt/2\"", 1, 19200, false, false, "my goods.txt/2"},
      {"\"goods/2\"/9600", 1, 9600, false, false, "goods/2"},
      {"\"goods.txt\"/e", 1, 19200, false, false, "goods.txt/e"},
      {"\"/e\"", 1, 19200, false, false, "/e"},  // a quoted switch is a name
      {"\"/2\" goods.txt", 1, 19200, false, false, "/2 goods.txt"},
      {"\"\"/2", 1, 19200, false, false, "/2"},
      {"C:\\\"My Goods\"\\goods.txt /2", 2, 19200, false, false, "C:\\My Goods\\goods.txt"},
      {"\"a b\"c/2", 2, 19200, false, false, "a bc"},
      {"\" goods.txt\t\"", 1, 19200, false, false, " goods.txt\t"},  // blanks inside stay
      {"\"a\" \"b\"", 1, 19200, false, false, "a b"},
      {"\"\"", 1, 19200, false, false, ""},
      {"\"half.txt /2", 1, 19200, false, false, "half.txt /2"},  // open to the end
      // UTF-8 of a wide command line: the full-width solidus U+FF0F is no "/".
      {"goods.txt\xEF\xBC\x8F"
       "2",
       1, 19200, false, false,
       "goods.txt\xEF\xBC\x8F"
       "2"},
      {"\xEF\xBC\x8F"
       "e",
       1, 19200, false, false,
       "\xEF\xBC\x8F"
       "e"},
  };
  for (const auto& c : cases) {
    ExpectOptions(ParseCommandLine(c.arguments),
                  {c.port, c.baudRate, c.wholeUnits, c.clear, c.fileName}, c.arguments);
  }
}

// Linux: each argument one word as the shell gave it.
TEST(ParseArguments, EachArgumentIsOneWord) {
  const struct {
    std::vector<std::string_view> arguments;
    Expected expected;
  } cases[] = {
      {{}, {1, 19200, false, false, ""}},
      {{"goods.txt"}, {1, 19200, false, false, "goods.txt"}},
      {{"/2", "/9600", "goods.txt", "/R"}, {2, 9600, true, false, "goods.txt"}},
      {{"/E", "goods.txt"}, {1, 19200, false, true, "goods.txt"}},
      {{"/e/2"}, {2, 19200, false, true, ""}},
      {{"goods.txt/2"}, {2, 19200, false, false, "goods.txt"}},
      {{"goods.txt/e"}, {1, 19200, false, false, "goods.txt/e"}},
      // An argument with a blank in it is a file name, never switches.
      {{"Выгрузка /e 2025/товары.txt"}, {1, 19200, false, false, "Выгрузка /e 2025/товары.txt"}},
      {{"my goods.txt/2"}, {1, 19200, false, false, "my goods.txt/2"}},
      {{"/e /2"}, {1, 19200, false, false, "/e /2"}},
      {{"goods.txt\t/2"}, {1, 19200, false, false, "goods.txt\t/2"}},
      {{" goods.txt"}, {1, 19200, false, false, " goods.txt"}},
      {{"/e", "my goods.txt"}, {1, 19200, false, true, "my goods.txt"}},
      // Words without blanks read as the text they make joined with one blank.
      {{"my", "goods.txt"}, {1, 19200, false, false, "my goods.txt"}},
      {{"my", "/2", "goods.txt"}, {2, 19200, false, false, "my  goods.txt"}},
      {{"--version", "x"}, {1, 19200, false, false, "--version x"}},
      // Quote characters that reach the program are part of the name.
      {{"\"goods.txt\""}, {1, 19200, false, false, "\"goods.txt\""}},
      {{"\"/e\""}, {1, 19200, false, false, "\"/e\""}},
      // Empty or blank arguments are no words.
      {{"", "/e", ""}, {1, 19200, false, true, ""}},
      {{"  ", "\t"}, {1, 19200, false, false, ""}},
      {{"goods.txt", "", "/2"}, {2, 19200, false, false, "goods.txt"}},
  };
  for (const auto& c : cases) {
    std::string given;
    for (const std::string_view a : c.arguments) given += "[" + std::string(a) + "]";
    ExpectOptions(ParseArguments(c.arguments), c.expected, given);
  }
}

// "/t" reads like "/2": a word of its own or glued to the end of the name, in either case.
TEST(ParseCommandLine, CheckSwitch) {
  const struct {
    const char* arguments;
    bool check;
    Expected expected;
  } cases[] = {
      {"/t goods.txt", true, {1, 19200, false, false, "goods.txt"}},
      {"goods.txt /T", true, {1, 19200, false, false, "goods.txt"}},
      {"goods.txt/t", true, {1, 19200, false, false, "goods.txt"}},
      {"goods.txt/2/T /r", true, {2, 19200, true, false, "goods.txt"}},
      {"/t/e", true, {1, 19200, false, true, ""}},
      {"/t", true, {1, 19200, false, false, ""}},
      {"/srv/t", true, {1, 19200, false, false, "/srv"}},  // glued like "/2"
      {"/tt goods.txt", false, {1, 19200, false, false, "/tt goods.txt"}},
      {"data/t shop.txt", false, {1, 19200, false, false, "data/t shop.txt"}},
      {"\"goods/t\"", false, {1, 19200, false, false, "goods/t"}},
  };
  for (const auto& c : cases) {
    const RunOptions o = ParseCommandLine(c.arguments);
    EXPECT_EQ(o.checkOnly, c.check) << c.arguments;
    ExpectOptions(o, c.expected, c.arguments);
  }
  EXPECT_TRUE(ParseArguments({"goods.txt/T"}).checkOnly);
  EXPECT_FALSE(ParseArguments({"my goods/t"}).checkOnly);  // one argument with a blank: a name
}

// "/i" (the installed shortcuts' switch) reads like "/t".
TEST(ParseCommandLine, AskSwitch) {
  const struct {
    const char* arguments;
    bool ask;
    Expected expected;
  } cases[] = {
      {"/i", true, {1, 19200, false, false, ""}},
      {"/e /2 /I", true, {2, 19200, false, true, ""}},
      // A file dropped on the check shortcut comes after its switches.
      {"/t /i \"C:\\my goods.txt\"", true, {1, 19200, false, false, "C:\\my goods.txt"}},
      {"goods.txt/I", true, {1, 19200, false, false, "goods.txt"}},
      {"/ii goods.txt", false, {1, 19200, false, false, "/ii goods.txt"}},
  };
  for (const auto& c : cases) {
    const RunOptions o = ParseCommandLine(c.arguments);
    EXPECT_EQ(o.askUser, c.ask) << c.arguments;
    ExpectOptions(o, c.expected, c.arguments);
  }
  EXPECT_TRUE(ParseArguments({"/i", "/e"}).askUser);
  EXPECT_FALSE(ParseArguments({"my goods/i"}).askUser);
}

TEST(ParseCommandLine, NameKeptByteForByte) {
  for (const std::string& name :
       std::vector<std::string>{"Товары Магазина.txt", "Ürün.txt", "Бағалар.txt", "商品.txt",
                                Utf8ToCp1251("Товары Магазина.txt")}) {
    EXPECT_EQ(ParseCommandLine("/2 " + name).goodsFileName, name);
    EXPECT_EQ(ParseArguments({"/2", name}).goodsFileName, name);
  }
}

TEST(BuildUsageText, ExactBytes) {
  const std::string expected = Utf8ToCp1251(kExpectedUsageUtf8);
  const std::string usage = BuildUsageText();
  EXPECT_EQ(usage, expected);
  EXPECT_EQ(usage.find('\r'), std::string::npos);
  // The first line in Windows-1251, checked byte by byte.
  EXPECT_EQ(usage.substr(0, 9), "\xCF\xE5\xF0\xE5\xF1\xFB\xEB\xEA\xE0");
}

TEST(ClearQuestionText, NamesThePort) {
  EXPECT_EQ(ClearQuestionText(1),
            Utf8ToCp1251("Очистить базу товаров кассы на COM1? Все товары в кассе будут удалены."));
  EXPECT_EQ(ClearQuestionText(2),
            Utf8ToCp1251("Очистить базу товаров кассы на COM2? Все товары в кассе будут удалены."));
}
