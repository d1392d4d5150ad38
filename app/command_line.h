// The command line: switches and the goods file name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RunOptions {
  int32_t port = 1;              // 1: COM1; anything else: COM2 ("/2")
  int32_t baudRate = 19200;      // 9600 with "/9600"; only the clear run uses it
  bool wholeUnitPrices = false;  // "/r": prices are whole currency units
  bool clearDatabase = false;    // "/e": clear the register's goods base
  bool checkOnly = false;        // "/t": read and check the goods file, send nothing
  // "/i", as the installed shortcuts start the program: the person at the screen is asked,
  // for the goods file in the Open dialog when none is given, and Да or Нет before a clear.
  bool askUser = false;
  // The name as the system gave it: UTF-8 on Windows (from the wide command line), the
  // argument's own bytes on Linux. Messages show it in Windows-1251.
  std::string goodsFileName;
};

// The text after the program's own name in a Windows command line: a quoted name runs to
// its closing quote, an unquoted one to the first blank (space or TAB); the blanks after it
// go too.
std::string_view SkipProgramName(std::string_view commandLine);

// Reads switches and the file name out of a Windows command line's argument text (program
// name already skipped; UTF-8, where no byte of a non-ASCII character is a blank, a quote or
// part of a switch). Words are separated by blanks: spaces and TABs. A double quote starts
// or ends a quoted part of a word; blanks inside it belong to the word, and the quotes are
// no part of the name. A word made only of switches ("/2", "/2/9600", "/e/2") sets them,
// unless any of it is quoted; switches other than "/e" glued to the end of the last other
// word ("goods.txt/2", "\"my goods.txt\"/t") count too, outside quotes only; any other
// switch-like text stays in the file name. Switches match in either case. The name is the
// remaining words with the blanks that stood between them.
RunOptions ParseCommandLine(std::string_view arguments);

// The same for arguments handed over one by one, as the shell gave them (Linux): each is one
// word, with one blank between words. An argument with a blank in it is a file name whole,
// never switches; quote characters are part of the name; arguments that are empty or only blanks
// are no words.
RunOptions ParseArguments(const std::vector<std::string_view>& arguments);

// The usage text shown when there is nothing to do: lines joined by line feeds (Windows-1251).
std::string BuildUsageText();

// The question a clear run asks with "/i" before it opens the port (Windows-1251): "Очистить
// базу товаров кассы на COM1? Все товары в кассе будут удалены.", COM2 for port 2.
std::string ClearQuestionText(int32_t port);
