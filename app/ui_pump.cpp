#include "app/ui_pump.h"

PollHooks PlatformPollHooks() { return PollHooks{PumpOneMessage, SleepMilliseconds}; }
