#include "register/frame.h"

namespace {

unsigned Sum(std::string_view bytes) {
  unsigned sum = 0;
  for (char c : bytes) sum += static_cast<unsigned char>(c);
  return sum;
}

}  // namespace

std::string BuildFrame(std::string_view payload) {
  std::string frame;
  frame.reserve(payload.size() + 5);
  frame += static_cast<char>(kFrameStart);
  frame += static_cast<char>((payload.size() + 5) & 0xFF);
  frame += payload;
  const unsigned checksum = Sum(frame) & 0xFFFF;
  frame += static_cast<char>(kFrameEnd);
  frame += static_cast<char>(checksum >> 8);
  frame += static_cast<char>(checksum & 0xFF);
  return frame;
}

int32_t CheckAnswer(std::string_view answer) {
  if (answer.size() != kAnswerLength) return kMalformedAnswer;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(answer[i]); };
  if (byte(0) != kAnswerStart || byte(4) != kFrameEnd) return kMalformedAnswer;
  // The stated sum is a signed 16-bit number: a high byte of 0x80 or more never matches.
  const auto stated = static_cast<int16_t>(static_cast<uint16_t>(byte(5) << 8 | byte(6)));
  const auto computed = static_cast<int32_t>(Sum(answer.substr(0, 4)));
  if (stated != computed) return kChecksumMismatch;
  return byte(3);
}

namespace {

// One poll: a window message handled (or a 1 ms idle sleep), the 12 ms sleep, and whatever
// has arrived read and appended to bytes. Returns how many bytes the line had waiting.
int32_t PollOnce(SerialLine& line, const PollHooks& hooks, std::string& bytes) {
  if (!hooks.pumpOneMessage()) hooks.sleep(kIdleSleepMs);
  hooks.sleep(kPollSleepMs);
  const int32_t waiting = line.bytesWaiting();
  if (waiting > 0) bytes += line.receive(waiting);
  return waiting;
}

}  // namespace

std::optional<std::string> AwaitAnswer(SerialLine& line, const PollHooks& hooks,
                                       size_t* bytesCame) {
  std::string answer;
  for (int poll = 0; poll < kAnswerPolls; ++poll) {
    PollOnce(line, hooks, answer);
    // Only the length decides: 8 bytes gathered at once never complete an answer.
    if (answer.size() == kAnswerLength) break;
  }
  if (bytesCame != nullptr) *bytesCame = answer.size();
  if (answer.size() != kAnswerLength) return std::nullopt;
  return answer;
}

bool LineStaysQuiet(SerialLine& line, const PollHooks& hooks, const ExchangeWatch& watch) {
  watch.lastAnswerTaken();
  std::string stray;
  for (int poll = 0; poll < kAnswerPolls; ++poll) {
    if (PollOnce(line, hooks, stray) > 0) return false;
  }
  return true;
}
