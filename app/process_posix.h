// The Linux program's process: its standard descriptors and the signals it answers.
#pragma once

// Run once at the very start, before anything is opened:
// - any of descriptors 0, 1 and 2 that is closed is opened on /dev/null, so that the serial
//   port never gets one of them and nothing written as a message can reach the register;
// - SIGPIPE is ignored: a message that cannot be written is dropped, and the exit status
//   still tells how the run went;
// - SIGINT, SIGTERM, SIGHUP and SIGQUIT (Ctrl-\) give the port back (its settings as before
//   the run, exclusive mode off, lock dropped), end the progress line and the wire trace's
//   record and end the process with 128 + signal (no core dump for SIGQUIT); one that the
//   caller has set to be ignored (nohup) stays ignored.
void PrepareProcess();
