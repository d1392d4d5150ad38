// The Linux program's process: its standard descriptors and the signals it answers.
#pragma once

#include <vector>

// Run once at the very start, before anything is opened:
// - any of descriptors 0, 1 and 2 that is closed is opened on /dev/null, so that the serial
//   port never gets one of them and nothing written as a message can reach the register;
// - SIGPIPE is ignored: a message that cannot be written is dropped, and the exit status
//   still tells how the run went; so is SIGXFSZ: a trace write over a file-size limit fails,
//   the trace is dropped and the run goes on;
// - every signal that would end the process (EndingSignals: SIGINT, SIGTERM, SIGHUP, SIGQUIT
//   (Ctrl-\), SIGUSR1, SIGALRM and the rest) gives the port back (its settings as before
//   the run, exclusive mode off, lock dropped), ends the progress line and the wire trace's
//   record and ends the process with 128 + signal (no core dump); one that the caller has
//   set to be ignored (nohup) stays ignored.
void PrepareProcess();

// The signals whose default action ends the process, but SIGKILL and SIGSTOP (no program
// can catch them) and SIGPIPE and SIGXFSZ (which the program ignores).
std::vector<int> EndingSignals();
