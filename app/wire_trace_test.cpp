#include "app/wire_trace.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "register/frame.h"
#include "tests/scripted_line.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

using namespace std::string_literals;

const std::string kClearFrame = "\x17\x0b\x63\0\0\0\0\0\x19\x00\x85"s;
const std::string kAnswerOk = "\x18\0\0\0\x19\x00\x18"s;

TEST(TraceHex, LowerCasePairsSeparatedByBlanks) {
  const struct {
    std::string bytes;
    std::string hex;
  } cases[] = {
      {"", ""},
      {"\0"s, "00"},
      {kClearFrame, "17 0b 63 00 00 00 00 00 19 00 85"},
      {"\xff\xa0\x7f\x80\x0a"s, "ff a0 7f 80 0a"},
  };
  for (const auto& c : cases) EXPECT_EQ(TraceHex(c.bytes), c.hex);
}

// A traced run on a scripted line, with a clock that the run's own sleeps move forward.
struct TracedRun {
  ScriptedLine line;
  int64_t nowMs = 1000;
  std::vector<std::string> lines;
  WireTrace trace{[this](const std::string& text) { lines.push_back(text); },
                  [this] { return nowMs; }};
  TracedLine traced{line, trace};
  PollHooks hooks{[] { return false; }, [this](uint32_t ms) { nowMs += ms; }};

  // What an exchange does for one frame: send it and wait for the answer.
  std::optional<std::string> exchange(const std::string& frame) {
    traced.send(frame);
    return AwaitAnswer(traced, hooks);
  }
};

TEST(WireTrace, RecordsTheClearRunFrameByFrame) {
  TracedRun run;
  // The answer comes in two batches: five bytes at the second poll, two at the third.
  run.line.arrivals = {"", "\x18\0\0\0\x19"s, "\x00\x18"s};
  run.trace.start("2026-03-01 10:15:00", "1.2.3", "tally /e");
  ASSERT_TRUE(run.traced.open("COM1"));
  PortSettings settings;
  settings.baudRate = 9600;
  run.traced.configure(settings);
  ASSERT_TRUE(run.exchange(kClearFrame));
  ASSERT_TRUE(LineStaysQuiet(run.traced, run.hooks, TraceWatch(run.trace)));
  run.trace.message(Utf8ToCp1251("База товаров очищена"), 0x30);
  run.trace.finish(0);

  const std::vector<std::string> expected = {
      "=== 2026-03-01 10:15:00  tally 1.2.3",
      "command line: tally /e",
      "      0 ms  open COM1 (/dev/scripted): opened",
      "      0 ms  line settings asked: 9600 bit/s, 8 data bits, no parity, 1 stop bit, "
      "transmit queue 4096, receive queue 4096",
      "      0 ms  sent      17 0b 63 00 00 00 00 00 19 00 85",
      "     26 ms  poll   2  18 00 00 00 19",
      "     39 ms  poll   3  00 18",
      "     39 ms  after the last answer: the line must stay quiet for one answer wait",
      "   1339 ms  poll 100: the line stayed quiet",
      "   1339 ms  message (warning): База товаров очищена",
      "   1339 ms  exit status 0",
      "",
  };
  EXPECT_EQ(run.lines, expected);
}

TEST(WireTrace, RecordsTheLineSettingsThePortReportsHaving) {
  auto report = [](uint32_t baud, uint8_t stopBits, bool parity, bool queues) {
    LineSettingsReport r;
    r.known = true;
    r.settings.baudRate = baud;
    r.settings.stopBits = stopBits;
    r.settings.parityChecking = parity;
    r.settings.transmitQueue = 1024;
    r.settings.receiveQueue = 2048;
    r.queuesKnown = queues;
    return r;
  };
  const struct {
    LineSettingsReport report;
    std::string line;
  } cases[] = {
      // A terminal on Linux tells no queue sizes; a refused speed shows as the one kept.
      {report(9600, 1, false, false),
       "line settings: 9600 bit/s, 8 data bits, no parity, 1 stop bit"},
      {report(19200, 2, true, true),
       "line settings: 19200 bit/s, 8 data bits, parity, 2 stop bits, transmit queue 1024, "
       "receive queue 2048"},
      {report(0, 3, false, false),
       "line settings: unknown speed, 8 data bits, no parity, 1.5 stop bits"},
  };
  for (const auto& c : cases) {
    TracedRun run;
    run.line.report = c.report;
    run.traced.configure(PortSettings{});
    EXPECT_EQ(run.lines, std::vector<std::string>{"      0 ms  " + c.line});
  }
}

TEST(WireTrace, ShowsThePollsThatBroughtNothingBeforeTheMessage) {
  const struct {
    const char* name;
    std::vector<std::string> arrivals;
    std::vector<std::string> expectedAfterFrame;
  } cases[] = {
      {"silence", {}, {"   1300 ms  poll 100: nothing received"}},
      {"six bytes, then silence",
       {"", "", "\x18\0\0\0\x19\0"s},
       {"     39 ms  poll   3  18 00 00 00 19 00",
        "   1300 ms  poll 100: nothing more after poll 3"}},
  };
  for (const auto& c : cases) {
    TracedRun run;
    run.line.arrivals = c.arrivals;
    ASSERT_TRUE(run.traced.open("COM2"));
    EXPECT_FALSE(run.exchange(kClearFrame)) << c.name;
    run.traced.close();
    run.trace.message(Utf8ToCp1251("Нет ответа от кассы"), 0x10);
    run.trace.finish(1);

    std::vector<std::string> expected = {
        "      0 ms  open COM2 (/dev/scripted): opened",
        "      0 ms  sent      17 0b 63 00 00 00 00 00 19 00 85",
    };
    expected.insert(expected.end(), c.expectedAfterFrame.begin(), c.expectedAfterFrame.end());
    expected.push_back("   1300 ms  port closed");
    expected.push_back("   1300 ms  message (error): Нет ответа от кассы");
    expected.push_back("   1300 ms  exit status 1");
    expected.push_back("");
    EXPECT_EQ(run.lines, expected) << c.name;
  }
}

TEST(WireTrace, CountsPollsAfreshForEveryFrame) {
  TracedRun run;
  run.line.arrivals = {kAnswerOk, "", "",
                       kAnswerOk};  // frame 1 answered at its poll 1, frame 2 at its poll 3
  ASSERT_TRUE(run.exchange(BuildFrame("a")));
  ASSERT_TRUE(run.exchange(BuildFrame("b")));
  const std::vector<std::string> expected = {
      "      0 ms  sent      17 06 61 19 00 7e",
      "     13 ms  poll   1  18 00 00 00 19 00 18",
      "     13 ms  sent      17 06 62 19 00 7f",
      "     52 ms  poll   3  18 00 00 00 19 00 18",
  };
  EXPECT_EQ(run.lines, expected);
}

TEST(WireTrace, FailuresAndTextsAsTheyHappened) {
  TracedRun run;
  // Control bytes but TAB (and the C1 controls of UTF-8, such as U+009B) never reach the
  // trace raw, wherever they come from.
  run.trace.start("2026-03-01", "1.2.3",
                  "tally 'a\nexit status 0.txt' \xc2\x9b"
                  "2J\x7f\x01\t\xc2\xa0");
  run.line.opens = false;
  run.line.device = "/dev/ttyUSB0";
  run.line.failureDetail = Utf8ToCp1251("/dev/ttyUSB0: нет прав доступа");
  EXPECT_FALSE(run.traced.open("COM1"));
  run.trace.item({3, 10, 103, 4, ""});
  run.trace.item({4, 10, 104, 5, Utf8ToCp1251("Прайс")});
  run.trace.sent("\x01", false);
  // A multi-line text (the usage text) stays on one trace line.
  run.trace.message(Utf8ToCp1251("Строка 1\n\nСтрока 2\n"), 0x40);
  // Control bytes quoted from the goods file never reach the trace raw.
  run.trace.message(Utf8ToCp1251("Недопустимая цена: '\x1b[2J\r\t'"), 0x10);
  // A port that never opened is not closed in the record.
  run.traced.close();
  const std::vector<std::string> expected = {
      "=== 2026-03-01  tally 1.2.3",
      "command line: tally 'a?exit status 0.txt' ?2J??\t\xc2\xa0",
      "      0 ms  open COM1 (/dev/ttyUSB0): failed (/dev/ttyUSB0: нет прав доступа)",
      "      0 ms  item 3 of 10, code 103, line 4 of the goods file",
      "      0 ms  item 4 of 10, code 104, row 5 of sheet «Прайс»",
      "      0 ms  sent      01  (not all written)",
      "      0 ms  message (information): Строка 1 |  | Строка 2",
      "      0 ms  message (error): Недопустимая цена: '?[2J?\t'",
  };
  EXPECT_EQ(run.lines, expected);
}

TEST(TracedLine, PassesEveryCallAndResultThroughUnchanged) {
  // With the trace on and off alike, the wrapped line sees the same calls and the caller
  // the same results.
  for (bool on : {true, false}) {
    ScriptedLine line;
    std::vector<std::string> lines;
    WireTrace trace = on ? WireTrace([&](const std::string& text) { lines.push_back(text); },
                                     [] { return int64_t{0}; })
                         : WireTrace();
    TracedLine traced(line, trace);
    line.arrivals = {"abc", "", "de"};
    line.lineErrorAt = {false, true, false};

    line.opens = false;
    line.failureDetail = "why";
    EXPECT_FALSE(traced.open("COM2"));
    EXPECT_EQ(traced.openFailureDetail(), "why");
    line.opens = true;
    EXPECT_TRUE(traced.open("COM2"));
    EXPECT_EQ(line.openedName, "COM2");
    EXPECT_EQ(traced.deviceName(), "/dev/scripted");
    traced.configure(PortSettings{});
    EXPECT_EQ(line.configured.size(), 1u);
    line.report.settings.baudRate = 1200;
    EXPECT_EQ(traced.settingsInEffect().settings.baudRate, 1200u);
    EXPECT_TRUE(traced.send("xyz"));
    EXPECT_EQ(line.sent, std::vector<std::string>{"xyz"});
    EXPECT_EQ(traced.bytesWaiting(), 3);
    EXPECT_EQ(traced.receive(2), "ab");
    EXPECT_EQ(traced.bytesWaiting(), 0);  // the line error of the second poll
    EXPECT_EQ(traced.bytesWaiting(), 3);
    EXPECT_EQ(traced.receive(5), "cde");
    traced.close();
    EXPECT_EQ(line.closed, 1);
    EXPECT_EQ(line.polls, 3);
    EXPECT_EQ(lines.empty(), !on);
  }
}

TEST(TracedMessages, TellsTheTraceThenShows) {
  std::vector<std::string> order;
  WireTrace trace([&](const std::string& text) { order.push_back("trace " + text); },
                  [] { return int64_t{5}; });
  const MessageSink show = TracedMessages(trace, [&](const std::string& text, uint32_t style) {
    order.push_back("show " + Cp1251ToUtf8(text) + " " + std::to_string(style));
  });
  show(Utf8ToCp1251("Неверный ответ от кассы"), 0x30);
  const std::vector<std::string> expected = {
      "trace       0 ms  message (warning): Неверный ответ от кассы",
      "show Неверный ответ от кассы 48",
  };
  EXPECT_EQ(order, expected);
}

}  // namespace
