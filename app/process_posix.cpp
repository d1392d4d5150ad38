#include "app/process_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

#include "app/progress_line_posix.h"
#include "app/trace_file_posix.h"
#include "register/serial_port_posix.h"

namespace {

// The whole work is done in the handler rather than handed to the run through a flag: the
// run may be waiting seconds for the line to take a frame, and nothing between the
// exchange's steps knows about signals. What the handler does is safe there: atomic loads, tcflush,
// tcsetattr, ioctl, flock, clock_gettime and write, then _exit, which skips every destructor and
// atexit handler.
void EndOnSignal(int signal) {
  ReleasePortsOnSignal();
  FinishProgressLineOnSignal();
  FinishTraceOnSignal(128 + signal);
  _exit(128 + signal);
}

void OpenClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    // The lowest free descriptor: this one, since those below it are open by now.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
      dup2(null, fd);
      close(null);
    }
  }
}

}  // namespace

void PrepareProcess() {
  OpenClosedStandardDescriptors();
  signal(SIGPIPE, SIG_IGN);
  // A trace that meets a file-size limit fails its write and is dropped; the run goes on.
  signal(SIGXFSZ, SIG_IGN);

  struct sigaction action {};
  action.sa_handler = EndOnSignal;
  // One handler at a time: a second signal waits for the first one's _exit.
  sigfillset(&action.sa_mask);
  for (const int s : EndingSignals()) {
    struct sigaction inherited {};
    if (sigaction(s, nullptr, &inherited) != 0) continue;
    // A signal the caller chose to ignore (nohup, a background job) stays ignored. A
    // handler already in place can only be an instrumented build's own (a program starts
    // with every caught signal back at its default); it is kept.
    if (inherited.sa_handler != SIG_DFL) continue;
    sigaction(s, &action, nullptr);
  }
}

std::vector<int> EndingSignals() {
  std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                              SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
                              SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) signals.push_back(s);
  return signals;
}
