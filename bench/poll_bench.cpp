// tally-poll-bench: what one poll of the answer wait costs with this platform's sleep. It runs
// the answer wait (AwaitAnswer) on a line that never answers, 100 polls each of one idle step
// (no window message waiting: a 1 ms sleep) and a 12 ms sleep, first with the system's
// default timer, then with the 1 ms timer that the program asks for during a run. Prints
// figures; it judges nothing.
//
//   tally-poll-bench [ROUNDS]     (default 3 rounds of each)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/run_clock.h"
#include "app/ui_pump.h"
#include "register/frame.h"

namespace {

// A register that never answers: every poll finds nothing waiting.
class SilentLine final : public SerialLine {
 public:
  bool open(const std::string&) override { return true; }
  void configure(const PortSettings&) override {}
  bool send(const std::string&) override { return true; }
  int32_t bytesWaiting() override { return 0; }
  std::string receive(int32_t) override { return {}; }
  void close() override {}
};

// Seconds that one whole answer wait (kAnswerPolls polls without an answer) takes.
double NoAnswerSeconds(const PollHooks& hooks) {
  SilentLine line;
  const auto start = std::chrono::steady_clock::now();
  AwaitAnswer(line, hooks);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* what, const PollHooks& hooks, int rounds) {
  double best = 1e9;
  double worst = 0;
  for (int i = 0; i < rounds; ++i) {
    const double seconds = NoAnswerSeconds(hooks);
    best = seconds < best ? seconds : best;
    worst = seconds > worst ? seconds : worst;
  }
  std::printf("  %-22s %6.2f ms a poll, %5.2f s for %d polls (best of %d; slowest %.2f s)\n", what,
              best * 1000.0 / kAnswerPolls, best, kAnswerPolls, rounds, worst);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: tally-poll-bench [ROUNDS]\n");
    return 2;
  }
  const PollHooks hooks = PlatformPollHooks();
  std::printf("one poll of the answer wait: %u ms idle sleep + %u ms sleep (at least %u ms)\n",
              kIdleSleepMs, kPollSleepMs, kIdleSleepMs + kPollSleepMs);
  Report("default system timer:", hooks, rounds);
  BeginFineClock();
  Report("with the 1 ms timer:", hooks, rounds);
  EndFineClock();
  return 0;
}
