// The Windows message step for a dialog on screen.
#pragma once

#include <windows.h>

#include "app/ui_pump.h"

// Handles one pending window message of this thread, if there is one, and returns whether a
// message was handled. The dialog manager takes what belongs to the given dialog and its
// controls (keyboard navigation, Esc); dialog may be nullptr or a window already gone, and
// then every message is translated and dispatched.
bool PumpOneMessage(HWND dialog);

// The hooks AwaitAnswer uses while the given dialog is on screen: PumpOneMessage for that
// dialog, and SleepMilliseconds.
PollHooks PlatformPollHooks(HWND dialog);
