// The Linux program run as a user runs it: usage text and exit status.
#include <gtest/gtest.h>

#include "tally_version.h"
#include "tests/expected_usage.h"
#include "tests/program_runner.h"

TEST(TallyProgram, UsageOnStandardErrorWithStatus2) {
  const std::string expected = "OKA PF: " + std::string(kExpectedUsageUtf8);
  // With "/i" too: nobody is asked on a terminal, and a clear is never done unasked.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"  "}, {"/2", "/9600"}, {"/R"}, {"/i"}, {"/e", "/i"}}) {
    const ProgramResult r = RunProgram(TALLY_BINARY, args);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, expected);
  }
}

TEST(TallyProgram, VersionAndHelpAloneGoToStandardOutput) {
  const ProgramResult version = RunProgram(TALLY_BINARY, {"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "tally " TALLY_VERSION_TEXT "\n");
  EXPECT_EQ(version.err, "");
  // The simulator carries the same number.
  const ProgramResult sim = RunProgram(REGISTER_SIM_BINARY, {"--version"});
  EXPECT_EQ(sim.exitStatus, 0);
  EXPECT_EQ(sim.out, "register-sim " TALLY_VERSION_TEXT "\n");

  const ProgramResult help = RunProgram(TALLY_BINARY, {"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Пересылка базы товаров на кассу ОКА ПФ\n", 0), 0u) << help.out;
  for (const char* note : {"TALLY [/2] [/9600] /e", "TALLY [/r] /t filename.txt", "TALLY_COM1",
                           "/dev/ttyS0", "/dev/ttyS1", "dialout", "TALLY_TRACE", "\n  2 - "}) {
    EXPECT_NE(help.out.find(note), std::string::npos) << note;
  }
}

TEST(TallyProgram, VersionAndHelpWithAnythingElseAreAFileNameAsBefore) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version", "x"}, {"x", "--help"}, {"--VERSION"}, {"-h"}}) {
    const ProgramResult r = RunProgram(TALLY_BINARY, args);
    std::string name;
    for (const std::string& a : args) name += (name.empty() ? "" : " ") + a;
    EXPECT_EQ(r.exitStatus, 1) << name;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "OKA PF: ошибка: Не могу открыть файл: " + name + "\n");
  }
}
