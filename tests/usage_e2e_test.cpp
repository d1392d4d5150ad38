// The Linux program run as a user runs it: usage text and exit status.
#include <gtest/gtest.h>

#include "tests/program_runner.h"

TEST(TallyProgram, UsageOnStandardErrorWithStatus2) {
  const std::string expected =
      "OKA PF: Пересылка базы товаров на кассу ОКА ПФ\n"
      "\n"
      "(c) TALLY contributors, 2026\n"
      "\n"
      "TALLY [/2] [/9600] [/r] filename.txt\n"
      "переслать базу товаров через порт COM1\n"
      "/2 - использовать порт COM2\n"
      "/9600 - скорость (по умолчанию 19200)\n"
      "/r - цена только в рублях (для Казахстана)\n"
      "\n"
      "TALLY [/2] [/9600] /e\n"
      "очистить базу товаров\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"  "}, {"/2", "/9600"}, {"/R"}}) {
    const ProgramResult r = RunProgram(TALLY_BINARY, args);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, expected);
  }
}
