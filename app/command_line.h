// The command line: switches and the goods file name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct RunOptions {
  int32_t port = 1;              // 1: COM1; anything else: COM2 ("/2")
  int32_t baudRate = 19200;      // 9600 with "/9600"; only the clear run uses it
  bool wholeUnitPrices = false;  // "/r": prices are whole currency units
  bool clearDatabase = false;    // "/e": clear the register's goods base
  std::string goodsFileName;     // Windows-1251 bytes, as typed
};

// The text after the program's own name in a Windows command line: a quoted name runs to
// its closing quote, an unquoted one to the first blank; the blanks after it go too.
std::string_view SkipProgramName(std::string_view commandLine);

// Reads switches and the file name out of the argument text (program name already skipped).
// Words are separated by blanks. A word made only of switches ("/2", "/2/9600", "/e/2") sets
// them; switches other than "/e" glued to the end of the last other word ("goods.txt/2") count
// too; any other switch-like text stays in the file name. Switches match in either case.
RunOptions ParseCommandLine(std::string_view arguments);

// The usage text shown when there is nothing to do: lines joined by line feeds (Windows-1251).
std::string BuildUsageText();
