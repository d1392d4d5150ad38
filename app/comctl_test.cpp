#include "app/comctl.h"

#include <gtest/gtest.h>

namespace {

TEST(FileVersionTenThousandths, MajorPlusMinorOverHundred) {
  const struct {
    uint16_t major;
    uint16_t minor;
    int64_t tenThousandths;
  } cases[] = {
      {5, 81, 58100},  // 5.81
      {5, 82, 58200},
      {6, 10, 61000},  // 6.10 reads 6.1
      {6, 0, 60000},
      {4, 72, 47200},
      {0, 0, 0},
      {0, 1, 100},
      {6, 100, 70000},  // a minor of 100 is one whole
      {65535, 65535, 661903500},
  };
  for (const auto& c : cases) {
    const uint32_t ms = (uint32_t{c.major} << 16) | c.minor;
    EXPECT_EQ(FileVersionTenThousandths(ms), c.tenThousandths) << c.major << "." << c.minor;
  }
}

}  // namespace
