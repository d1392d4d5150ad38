// The wire trace's file on Linux, as a signal handler sees it.
#pragma once

// Ends the record of a run that a signal ends, as the trace ends every run: the time and
// "exit status" with the status, then an empty line. Only clock_gettime and one write(2):
// safe in a signal handler. Does nothing when no trace file is open.
void FinishTraceOnSignal(int exitStatus);
