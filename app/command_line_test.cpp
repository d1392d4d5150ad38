#include "app/command_line.h"

#include <gtest/gtest.h>

#include "tests/expected_usage.h"
#include "text/cp1251.h"

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
  };
  for (const auto& c : cases) EXPECT_EQ(SkipProgramName(c.commandLine), c.arguments);
}

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
      {"/2/x goods.txt", 1, 19200, false, false, "/2/x goods.txt"},      // chain broken by /x
      {"/9600\tgoods.txt", 1, 19200, false, false, "/9600\tgoods.txt"},  // a TAB is no blank
      {"\"C:\\My Goods\\goods.txt\" /2", 2, 19200, false, false, "C:\\My Goods\\goods.txt"},
      {"\"a\" \"b\"", 1, 19200, false, false, "\"a\" \"b\""},
      {"\"\"", 1, 19200, false, false, ""},
      {"\"half.txt", 1, 19200, false, false, "\"half.txt"},
  };
  for (const auto& c : cases) {
    const RunOptions o = ParseCommandLine(c.arguments);
    EXPECT_EQ(o.port, c.port) << c.arguments;
    EXPECT_EQ(o.baudRate, c.baudRate) << c.arguments;
    EXPECT_EQ(o.wholeUnitPrices, c.wholeUnits) << c.arguments;
    EXPECT_EQ(o.clearDatabase, c.clear) << c.arguments;
    EXPECT_EQ(o.goodsFileName, c.fileName) << c.arguments;
  }
}

TEST(ParseCommandLine, CyrillicNameKeptByteForByte) {
  const std::string name = W1251("Товары Магазина.txt");
  EXPECT_EQ(ParseCommandLine("/2 " + name).goodsFileName, name);
}

TEST(BuildUsageText, ExactBytes) {
  const std::string expected = W1251(kExpectedUsageUtf8);
  const std::string usage = BuildUsageText();
  EXPECT_EQ(usage, expected);
  EXPECT_EQ(usage.find('\r'), std::string::npos);
  // The first line in Windows-1251, checked byte by byte.
  EXPECT_EQ(usage.substr(0, 9), "\xCF\xE5\xF0\xE5\xF1\xFB\xEB\xEA\xE0");
}
