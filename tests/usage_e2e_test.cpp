// The Linux program run as a user runs it: usage text and exit status.
#include <gtest/gtest.h>

#include "tests/expected_usage.h"
#include "tests/program_runner.h"

TEST(TallyProgram, UsageOnStandardErrorWithStatus2) {
  const std::string expected = "OKA PF: " + std::string(kExpectedUsageUtf8);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"  "}, {"/2", "/9600"}, {"/R"}}) {
    const ProgramResult r = RunProgram(TALLY_BINARY, args);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, expected);
  }
}
