#include "app/comctl.h"

int64_t FileVersionTenThousandths(uint32_t fileVersionMS) {
  const int64_t major = fileVersionMS >> 16;
  const int64_t minor = fileVersionMS & 0xFFFF;
  // major + minor / 100, with four places after the point.
  return major * 10000 + minor * 100;
}
