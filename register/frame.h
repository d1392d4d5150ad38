// The register's frame protocol: command frames, collecting the 7-byte answer, checking it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "register/exchange_watch.h"
#include "register/serial_line.h"

constexpr unsigned char kFrameStart = 0x17;
constexpr unsigned char kAnswerStart = 0x18;
constexpr unsigned char kFrameEnd = 0x19;
constexpr size_t kAnswerLength = 7;
constexpr int kAnswerPolls = 100;
constexpr uint32_t kPollSleepMs = 12;
constexpr uint32_t kIdleSleepMs = 1;

// CheckAnswer results besides 0 (done) and 1..255 (the register's error code).
constexpr int32_t kMalformedAnswer = -1;
constexpr int32_t kChecksumMismatch = -2;

// 0x17, length (payload + 5), payload, 0x19, 16-bit sum of everything before 0x19, high
// byte first.
std::string BuildFrame(std::string_view payload);

// Validates a collected answer: -1 malformed, -2 checksum mismatch, else its result code.
int32_t CheckAnswer(std::string_view answer);

// What AwaitAnswer does between polls. pumpOneMessage handles one pending window message
// and returns whether there was one; sleep waits the given milliseconds.
struct PollHooks {
  std::function<bool()> pumpOneMessage;
  std::function<void(uint32_t)> sleep;
};

// Polls the line up to 100 times for the answer to the frame just sent. Returns the bytes
// once exactly 7 have gathered at the end of a poll, or nothing (no answer). bytesCame, when
// given, is set to the number of bytes the wait gathered: with no answer, 0 when the line
// stayed silent, else a number other than 7 (an answer with a byte more, an echo of the
// frame, noise).
std::optional<std::string> AwaitAnswer(SerialLine& line, const PollHooks& hooks,
                                       size_t* bytesCame = nullptr);

// Keeps polling the line after a run's last answer, as AwaitAnswer does, for one whole
// answer wait (100 polls). Returns false at the first poll that finds bytes (it reads them):
// an answer that nothing was sent for means that the register's answers and the frames were
// out of step, so that the answers taken need not be the answers to this run's frames (a
// late answer to an earlier run passes for the answer to the first frame, and so on). Tells
// watch that the last answer has been taken before the first poll.
bool LineStaysQuiet(SerialLine& line, const PollHooks& hooks, const ExchangeWatch& watch);
