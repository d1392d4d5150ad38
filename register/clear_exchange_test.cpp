#include "register/clear_exchange.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/byte_strings.h"
#include "tests/scripted_line.h"
#include "text/text_encoding.h"

namespace {

const std::string kClearFrame = Bytes({0x17, 0x0B, 0x63, 0, 0, 0, 0, 0, 0x19, 0x00, 0x85});
const std::string kOk = Bytes({0x18, 0, 0, 0, 0x19, 0x00, 0x18});
const std::string kCode5 = Bytes({0x18, 0, 0, 5, 0x19, 0x00, 0x1D});

// Arrivals poll by poll: the given bytes at the given polls (from 0), nothing at the others.
std::vector<std::string> ArrivalsAt(const std::vector<std::pair<int, std::string>>& at) {
  std::vector<std::string> arrivals;
  for (const auto& [poll, bytes] : at) {
    arrivals.resize(static_cast<size_t>(poll) + 1);
    arrivals[static_cast<size_t>(poll)] = bytes;
  }
  return arrivals;
}

struct Shown {
  std::string text;  // Windows-1251
  uint32_t style;
};

// Everything one clear run did, with sleeps recorded rather than slept.
struct ClearRun {
  ScriptedLine line;
  std::vector<Shown> shown;
  std::vector<uint32_t> sleeps;
  int pumps = 0;

  ExchangeOutcome outcome = ExchangeOutcome::Completed;

  void clear(int32_t port = 1, uint32_t baudRate = 19200) {
    const PollHooks hooks{[this] {
                            ++pumps;
                            return false;
                          },
                          [this](uint32_t ms) { sleeps.push_back(ms); }};
    outcome = ClearGoodsBase(port, baudRate, line, hooks,
                             [this](const std::string& text, uint32_t style) {
                               shown.push_back({text, style});
                             });
  }
  // The register answers the clear frame with these bytes, arriving together.
  void answerWith(const std::string& answer) {
    line.onSend = [answer](int, const std::string&, std::string& queue) { queue += answer; };
  }
};

}  // namespace

TEST(ClearGoodsBase, SendsTheFixedFrameAtTheRunsSpeedOnTheRunsPort) {
  const struct {
    int32_t port;
    int32_t baud;
    const char* portName;
  } cases[] = {
      {1, 19200, "COM1"}, {1, 9600, "COM1"},  {2, 19200, "COM2"},
      {2, 9600, "COM2"},  {7, 19200, "COM2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.port) + " " + std::to_string(c.baud));
    ClearRun run;
    run.answerWith(kOk);
    run.clear(c.port, static_cast<uint32_t>(c.baud));
    EXPECT_EQ(run.line.opened, 1);
    EXPECT_EQ(run.line.openedName, c.portName);
    ASSERT_EQ(run.line.configured.size(), 1u);
    const PortSettings& s = run.line.configured[0];
    EXPECT_EQ(s.baudRate, static_cast<uint32_t>(c.baud));
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_FALSE(s.parityChecking);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(s.transmitQueue, 4096u);
    EXPECT_EQ(s.receiveQueue, 4096u);
    ASSERT_EQ(run.line.sent.size(), 1u);
    EXPECT_EQ(run.line.sent[0], kClearFrame);
    EXPECT_EQ(run.line.closed, 0);  // the end of the process releases the port
  }
}

TEST(ClearGoodsBase, OpenFailureNamesThePortAndSendsNothing) {
  for (const OpenFailureCase& c : OpenFailureCases()) {
    SCOPED_TRACE(c.text);
    ClearRun run;
    run.line.opens = false;
    run.line.failureDetail = c.detail;
    run.clear(c.port);
    ASSERT_EQ(run.shown.size(), 1u);
    EXPECT_EQ(run.shown[0].text, Utf8ToCp1251(c.text));
    EXPECT_EQ(run.shown[0].style, kIconError);
    EXPECT_EQ(run.outcome, ExchangeOutcome::FailureShown);
    EXPECT_TRUE(run.line.configured.empty());
    EXPECT_TRUE(run.line.sent.empty());
    EXPECT_EQ(run.line.polls, 0);
    EXPECT_EQ(run.line.closed, 0);
  }
}

TEST(ClearGoodsBase, ReportsEachAnswerOnce) {
  const struct {
    const char* what;
    std::vector<std::string> arrivals;  // poll by poll, after the frame is sent
    std::string text;                   // UTF-8
    uint32_t style;
    ExchangeOutcome outcome;
    int polls;
    bool sendFails = false;
  } cases[] = {
      // A good answer is believed only once the line has stayed quiet for a whole answer
      // wait after it.
      {"done", {kOk}, "База товаров очищена", kIconWarning, ExchangeOutcome::Completed, 101},
      {"done, in two pieces",
       {kOk.substr(0, 5), "", kOk.substr(5)},
       "База товаров очищена",
       kIconWarning,
       ExchangeOutcome::Completed,
       103},
      {"done, then the answer to this frame, late",
       {kOk, "", kCode5},
       "Лишний ответ от кассы",
       kIconWarning,
       ExchangeOutcome::FailureShown,
       3},
      {"done, then one byte at the last poll of the wait", ArrivalsAt({{0, kOk}, {100, "\x18"}}),
       "Лишний ответ от кассы", kIconWarning, ExchangeOutcome::FailureShown, 101},
      {"error code 5",
       {kCode5},
       "Возвращен код ошибки  5",
       kIconWarning,
       ExchangeOutcome::FailureShown,
       1},
      {"error code 255",
       {Bytes({0x18, 0xFF, 0xFF, 0xFF, 0x19, 0x03, 0x15})},
       "Возвращен код ошибки  255",
       kIconWarning,
       ExchangeOutcome::FailureShown,
       1},
      {"wrong checksum",
       {Bytes({0x18, 0, 0, 5, 0x19, 0x1D, 0x00})},
       "Неверный ответ от кассы",
       kIconWarning,
       ExchangeOutcome::FailureShown,
       1},
      {"echoed start byte",
       {Bytes({0x17, 0, 0, 0, 0x19, 0x00, 0x17})},
       "Неверный ответ от кассы",
       kIconWarning,
       ExchangeOutcome::FailureShown,
       1},
      {"silence", {}, "Нет ответа от кассы", kIconError, ExchangeOutcome::NoAnswer, 100},
      {"six bytes",
       {kOk.substr(0, 6)},
       "Нет ответа от кассы: пришло 6 байт",
       kIconError,
       ExchangeOutcome::NoAnswer,
       100},
      {"eight bytes at once",
       {kOk + "\x18"},
       "Нет ответа от кассы: пришло 8 байт",
       kIconError,
       ExchangeOutcome::NoAnswer,
       100},
      // An adapter that echoes: the 11-byte frame comes back ahead of the answer.
      {"echo of the frame, then the answer",
       {Bytes({0x17, 0x0B, 0x63, 0, 0, 0, 0, 0, 0x19, 0x00, 0x85}) + kOk},
       "Нет ответа от кассы: пришло 18 байт",
       kIconError,
       ExchangeOutcome::NoAnswer,
       100},
      // A line that does not take the frame whole: nothing to wait for.
      {"frame not taken",
       {kOk},
       "Нет ответа от кассы",
       kIconError,
       ExchangeOutcome::NoAnswer,
       0,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClearRun run;
    run.line.arrivals = c.arrivals;
    if (c.sendFails) run.line.failSendAt = 0;
    run.clear();
    ASSERT_EQ(run.shown.size(), 1u);
    EXPECT_EQ(run.shown[0].text, Utf8ToCp1251(c.text));
    EXPECT_EQ(run.shown[0].style, c.style);
    EXPECT_EQ(run.outcome, c.outcome);
    EXPECT_EQ(run.line.polls, c.polls);
    // Each poll idles 1 ms (no window to serve) and sleeps 12 ms.
    EXPECT_EQ(run.pumps, c.polls);
    EXPECT_EQ(run.sleeps.size(), static_cast<size_t>(2 * c.polls));
    EXPECT_EQ(run.line.sent.size(), 1u);
    EXPECT_EQ(run.line.closed, 0);
  }
}

TEST(ClearGoodsBase, BytesAlreadyWaitingCountTowardsTheAnswer) {
  // The exchange itself throws nothing away (the port empties its queues when it is
  // configured): a byte waiting when the frame goes out spoils a good answer.
  ClearRun run;
  run.line.queue = "\x18";
  run.answerWith(kOk);
  run.clear();
  ASSERT_EQ(run.shown.size(), 1u);
  EXPECT_EQ(run.shown[0].text, Utf8ToCp1251("Нет ответа от кассы: пришло 8 байт"));
  EXPECT_EQ(run.outcome, ExchangeOutcome::NoAnswer);
}

TEST(ClearGoodsBase, ALineErrorCostsOnePoll) {
  ClearRun run;
  run.line.arrivals = {kOk};
  run.line.lineErrorAt = {true};
  run.clear();
  ASSERT_EQ(run.shown.size(), 1u);
  EXPECT_EQ(run.shown[0].text, Utf8ToCp1251("База товаров очищена"));
  EXPECT_EQ(run.outcome, ExchangeOutcome::Completed);
  EXPECT_EQ(run.line.polls, 102);
}
