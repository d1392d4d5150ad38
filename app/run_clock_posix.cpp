#include "app/run_clock.h"

// Linux sleeps as long as asked: there is no timer to change.
void BeginFineClock() {}

void EndFineClock() {}
