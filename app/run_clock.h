// The system timer for the time the register line is in use. The answer wait sleeps 1 ms
// and 12 ms per poll; Windows sleeps in whole timer ticks, 15.625 ms unless a program asks
// for a finer timer, so without it a poll would cost two ticks (about 31 ms) instead of 13.
#pragma once

// Asks for the 1 ms timer; called once, before the port is opened. Windows only; elsewhere
// sleeps are exact and it does nothing.
void BeginFineClock();

// Gives the 1 ms timer back; called once the run's waiting is over (the watch after its last
// answer, or the pause of an upload of nothing), on every road the run can take. Does nothing
// without an earlier BeginFineClock.
void EndFineClock();
