// The usage text as the user must read it, written out (UTF-8 here; the program holds it in
// Windows-1251). Both the unit test of the text and the end-to-end test of the program compare
// with it.
#pragma once

#include <string_view>

inline constexpr std::string_view kExpectedUsageUtf8 =
    "Пересылка базы товаров на кассу ОКА ПФ\n"
    "\n"
    "(c) The TALLY authors, 2026\n"
    "\n"
    "TALLY [/2] [/9600] [/r] filename.txt\n"
    "переслать базу товаров через порт COM1\n"
    "/2 - использовать порт COM2\n"
    "/9600 - скорость (по умолчанию 19200)\n"
    "/r - цена только в рублях (для Казахстана)\n"
    "\n"
    "TALLY [/2] [/9600] /e\n"
    "очистить базу товаров\n";
