// What the program does while it waits: the user interface's one-message step and sleeping.
#pragma once

#include <cstdint>

#include "register/frame.h"

// Handles one pending window message of this thread, if there is one, through the dialog
// manager for the progress window. Returns whether a message was handled. On Linux there
// are no windows and it returns false at once.
bool PumpOneMessage();

// Sleeps for the given number of milliseconds.
void SleepMilliseconds(uint32_t milliseconds);

// The hooks AwaitAnswer uses in the running program: PumpOneMessage and SleepMilliseconds.
PollHooks PlatformPollHooks();
