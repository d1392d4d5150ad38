// The upload's progress bar on a terminal (Linux): drawn on standard error and redrawn in
// place, so a message written meanwhile must first wipe it to start at column 0.
#pragma once

#include <atomic>

// Whether the progress bar currently stands, unfinished, on standard error's terminal.
// Read by a signal handler, hence atomic.
extern std::atomic<bool> ProgressBarShown;

// Wipes the progress bar if it stands (the cursor returns to column 0); else does nothing.
void ClearProgressBar();

// Ends the progress bar, if it stands, with a line feed: the count of items the
// register has taken stays on screen and the shell's prompt starts on a line of its own.
// One write(2): safe in a signal handler.
void FinishProgressBarOnSignal();
