// The upload's progress line on a terminal (Linux): drawn on standard error and redrawn in
// place, so a message written meanwhile must first wipe it to start at column 0.
#pragma once

// Whether the progress line currently stands, unfinished, on standard error's terminal.
extern bool ProgressLineShown;

// Wipes the progress line if it stands (the cursor returns to column 0); else does nothing.
void ClearProgressLine();
