// The answer wait on a line whose bytes arrive as the fuzzer cuts them: no crash, and an
// answer exactly when 7 bytes have gathered at the end of a poll.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "register/frame.h"
#include "tests/scripted_line.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "answer wait: %s\n", what);
  std::abort();
}

}  // namespace

// The input is a list of arrivals, one per poll: a byte whose low 4 bits give how many of the
// following bytes arrive and whose high bit makes that poll meet a line error.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScriptedLine line;
  for (size_t i = 0; i < size;) {
    const uint8_t head = data[i++];
    const size_t count = std::min<size_t>(head & 0x0F, size - i);
    line.arrivals.emplace_back(reinterpret_cast<const char*>(data + i), count);
    line.lineErrorAt.push_back((head & 0x80) != 0);
    i += count;
  }
  const PollHooks hooks{[] { return false; }, [](uint32_t) {}};
  const std::optional<std::string> answer = AwaitAnswer(line, hooks);

  // What the wait must have seen: the bytes of the polls without a line error, gathered.
  std::string queue;
  std::string gathered;
  std::optional<std::string> expected;
  int polls = 0;
  for (int poll = 0; poll < kAnswerPolls && !expected; ++poll) {
    ++polls;
    if (static_cast<size_t>(poll) < line.arrivals.size()) queue += line.arrivals[poll];
    const bool lineError =
        static_cast<size_t>(poll) < line.lineErrorAt.size() && line.lineErrorAt[poll];
    if (!lineError) {
      gathered += queue;
      queue.clear();
    }
    if (gathered.size() == kAnswerLength) expected = gathered;
  }
  if (answer != expected) Fail("the answer differs from the bytes gathered");
  if (line.polls != polls) Fail("polled another number of times");
  if (answer) {
    const int32_t code = CheckAnswer(*answer);
    if (code < kChecksumMismatch || code > 255) Fail("check result out of range");
  }
  return 0;
}
