#include "app/process_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "app/progress_line_posix.h"
#include "app/trace_file_posix.h"
#include "register/serial_port_posix.h"

namespace {

// The whole work is done in the handler rather than handed to the run through a flag: the
// run may be blocked in a write to the line, and nothing between the exchange's steps knows
// about signals. What the handler does is safe there: atomic loads, tcflush, tcsetattr,
// ioctl, flock, clock_gettime and write, then _exit, which skips every destructor and atexit
// handler.
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

  struct sigaction action {};
  action.sa_handler = EndOnSignal;
  // One handler at a time: a second signal waits for the first one's _exit.
  sigemptyset(&action.sa_mask);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&action.sa_mask, s);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    struct sigaction inherited {};
    if (sigaction(s, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
}
