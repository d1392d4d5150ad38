#include <errno.h>
#include <time.h>

#include "app/ui_pump.h"

void SleepMilliseconds(uint32_t milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

PollHooks PlatformPollHooks() {
  return PollHooks{[] { return false; }, SleepMilliseconds};
}
