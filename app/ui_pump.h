// What the program does while it waits: the user interface's one-message step and sleeping.
#pragma once

#include <cstdint>

#include "register/frame.h"

// Sleeps for the given number of milliseconds.
void SleepMilliseconds(uint32_t milliseconds);

// The hooks AwaitAnswer uses when no window of the program is on screen (the clear run):
// each poll handles one pending window message of this thread, if there is one, and sleeps
// with SleepMilliseconds. On Linux there are no windows and the message step returns false
// at once. The upload gets its hooks from the progress window (ProgressWindow::showModal).
PollHooks PlatformPollHooks();
