#include "register/upload_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/byte_strings.h"
#include "tests/scripted_line.h"
#include "text/text_encoding.h"

namespace {

std::string Padded(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

// A table whose lines all differ in every field, as the goods file reader leaves it.
GoodsTable MakeTable(int32_t count) {
  GoodsTable table;
  table.create();
  for (int32_t i = 1; i <= count; ++i) {
    const auto row = static_cast<size_t>(i);
    table.Code[row] = 100 + i;
    table.Name[row] = Padded(Utf8ToCp1251("Товар ") + std::to_string(i) + "\t", kNameWidth);
    table.Barcode[row] = Padded("46000000000" + std::to_string(10 + i) + "\t", kBarcodeWidth);
    table.Price[row] = 1000 * i + 50;
    table.Group[row] = i % 7;
    table.Flag[row] = i % 2;
    table.Line[row] = 2 * i + 1;  // a header, the "<start>" line, then every other line
  }
  table.GoodsCount = count;
  return table;
}

// The register's answer with result code `code` and a correct checksum.
std::string Answer(unsigned code) {
  const unsigned sum = 0x18 + code;
  return std::string{'\x18',
                     '\0',
                     '\0',
                     static_cast<char>(code),
                     '\x19',
                     static_cast<char>(sum >> 8),
                     static_cast<char>(sum & 0xFF)};
}
const std::string kAck = Answer(0);

using Events = std::vector<std::string>;

// The scripted line, with opening, configuring and sending also put into the event log.
class RecordingLine final : public SerialLine {
 public:
  RecordingLine(ScriptedLine& inner, Events& events) : inner_(inner), events_(events) {}
  bool open(const std::string& portName) override {
    events_.push_back("open " + portName);
    return inner_.open(portName);
  }
  void configure(const PortSettings& settings) override {
    events_.push_back("configure " + std::to_string(settings.baudRate));
    inner_.configure(settings);
  }
  bool send(const std::string& bytes) override {
    events_.push_back("send " + std::to_string(inner_.sent.size() + 1));
    return inner_.send(bytes);
  }
  int32_t bytesWaiting() override { return inner_.bytesWaiting(); }
  std::string receive(int32_t count) override { return inner_.receive(count); }
  void close() override { inner_.close(); }
  std::string openFailureDetail() const override { return inner_.openFailureDetail(); }

 private:
  ScriptedLine& inner_;
  Events& events_;
};

class RecordingView final : public ProgressView {
 public:
  explicit RecordingView(Events& events) : events_(events) {}
  void repaint() override { events_.push_back("repaint"); }
  void setRange(int32_t itemCount) override {
    events_.push_back("setRange " + std::to_string(itemCount));
  }
  void stepIt() override { events_.push_back("stepIt"); }
  void end() override { events_.push_back("end"); }

 private:
  Events& events_;
};

struct Shown {
  std::string text;
  uint32_t style;
};

// One upload against a scripted register, with everything it did recorded.
struct Upload {
  ScriptedLine port;
  Events events;
  std::vector<Shown> shown;
  std::vector<FrameItem> items;  // told to the watch before each frame
  int32_t portNumber = 1;
  ExchangeOutcome outcome = ExchangeOutcome::Completed;
  UploadStop stop{-1, 99};

  void run(const GoodsTable& table) {
    RecordingLine line(port, events);
    RecordingView view(events);
    PollHooks hooks;
    hooks.pumpOneMessage = [this] {
      events.push_back("pump");
      return false;
    };
    hooks.sleep = [this](uint32_t ms) { events.push_back("sleep " + std::to_string(ms)); };
    const MessageSink show = [this](const std::string& text, uint32_t style) {
      events.push_back("message");
      shown.push_back({text, style});
    };
    ExchangeWatch watch;
    watch.nextItem = [this](const FrameItem& item) { items.push_back(item); };
    outcome = UploadExchange::run(view, table, portNumber, line, hooks, show, stop, watch);
  }

  // The register answers frame n (from 0) with answers(n), in the poll after the send.
  void answerWith(std::function<std::string(int)> answers) {
    port.onSend = [answers](int frame, const std::string&, std::string& queue) {
      queue += answers(frame);
    };
  }

  // The log without the polling's own pumping and sleeping.
  Events effects() const {
    Events out;
    for (const std::string& e : events) {
      if (e != "pump" && e != "sleep 1" && e != "sleep 12") out.push_back(e);
    }
    return out;
  }
  int count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
  // The log from the last progress step on.
  Events afterLastStep() const {
    const auto step = std::find(events.rbegin(), events.rend(), "stepIt");
    return Events(step.base() - (step == events.rend() ? 0 : 1), events.end());
  }
};

// ---- The item command ----------------------------------------------------------------

struct ItemCase {
  const char* what;
  int32_t code;
  int32_t group;
  int32_t price;
  std::string barcode;  // as stored: 14 bytes
  size_t offset;        // where the checked bytes start in the command
  const char* bytes;
};

TEST(BuildItemCommand, PacksEachNumberLowOrderByteFirst) {
  const std::string noBarcode = Padded("\t", kBarcodeWidth);
  const ItemCase cases[] = {
      {"code in 16 bits", 4464, 0, 0, noBarcode, 32, "70 11"},
      {"largest code", 65535, 0, 0, noBarcode, 32, "FF FF"},
      {"group in 8 bits", 0, 44, 0, noBarcode, 31, "2C"},
      {"price in 32 bits", 0, 0, 12345, noBarcode, 27, "39 30 00 00"},
      {"large price", 0, 0, 2147483647, noBarcode, 27, "FF FF FF 7F"},
      {"negative price", 0, 0, -12345, noBarcode, 27, "C7 CF FF FF"},
      {"bar code number", 0, 0, 0, Padded("4600000000001\t", 14), 34, "01 B0 5D 05 2F 04"},
      {"fourteen digits", 0, 0, 0, "99999999999999", 34, "FF 3F 7A 10 F3 5A"},
      {"leading zeros", 0, 0, 0, Padded("0004600000001\t", 14), 34, "01 6E 2E 12 01 00"},
      {"same without them", 0, 0, 0, Padded("4600000001\t", 14), 34, "01 6E 2E 12 01 00"},
      {"negative bar code", 0, 0, 0, Padded("-5\t", 14), 34, "FB FF FF FF FF FF"},
      {"blank bar code", 0, 0, 0, std::string(14, ' '), 34, "00 00 00 00 00 00"},
      {"empty field", 0, 0, 0, noBarcode, 34, "00 00 00 00 00 00"},
      {"not a number", 0, 0, 0, Padded("ABC123\t", 14), 34, "00 00 00 00 00 00"},
  };
  for (const ItemCase& c : cases) {
    GoodsTable table = MakeTable(1);
    table.Code[1] = c.code;
    table.Group[1] = c.group;
    table.Price[1] = c.price;
    table.Barcode[1] = c.barcode;
    const std::string command = UploadExchange::buildItemCommand(table, 1, 1);
    ASSERT_EQ(command.size(), kItemCommandLength) << c.what;
    const size_t width = (std::string(c.bytes).size() + 1) / 3;
    EXPECT_EQ(Hex(command.substr(c.offset, width)), c.bytes) << c.what;
  }
}

TEST(BuildItemCommand, WholeCommandInFieldOrder) {
  GoodsTable table = MakeTable(2);
  table.Code[2] = 4464;
  table.Name[2] = Padded(Utf8ToCp1251("Молоко 3,2%") + "\t", kNameWidth);
  table.Barcode[2] = Padded("4600000000001\t", kBarcodeWidth);
  table.Price[2] = 12345;
  table.Group[2] = 44;
  table.Flag[2] = 1;
  const std::string expected = std::string("j\x01\x01") + "moloko 3,2%\t" + std::string(12, ' ') +
                               std::string("\x39\x30\x00\x00", 4) + "\x2C" + "\x70\x11" +
                               "\x01\xB0\x5D\x05\x2F\x04";
  EXPECT_EQ(Hex(UploadExchange::buildItemCommand(table, 2, 1)), Hex(expected));
}

TEST(BuildItemCommand, NameThroughRegisterCharsetKeepsTabAndBlanks) {
  GoodsTable table = MakeTable(1);
  const struct {
    std::string name;  // Windows-1251, 24 bytes
    std::string sent;
  } cases[] = {
      {Padded(Utf8ToCp1251("Ёжик") + "\t", 24), Padded("evik\t", 24)},
      {Padded(Utf8ToCp1251("Coca-Cola 0,5л") + "\t", 24), Padded("COCA-COLA 0,5l\t", 24)},
      {Utf8ToCp1251("Сок яблочный «Лучший» 1л №"), "sok qblo~nyj ?lu~{ij? 1l"},
      {Padded(Utf8ToCp1251("Щи\tборщ"), 24), Padded("}i\tbor}", 24)},
  };
  for (const auto& c : cases) {
    table.Name[1] = c.name.substr(0, kNameWidth);
    ASSERT_EQ(table.Name[1].size(), kNameWidth);
    EXPECT_EQ(UploadExchange::buildItemCommand(table, 1, 0).substr(3, kNameWidth), c.sent);
  }
}

TEST(BuildItemCommand, LetterMarkerAndFlagLeadTheCommand) {
  GoodsTable table = MakeTable(2);
  EXPECT_EQ(UploadExchange::buildItemCommand(table, 1, 0).substr(0, 3), std::string("j\0\x01", 3));
  EXPECT_EQ(UploadExchange::buildItemCommand(table, 2, 1).substr(0, 3), std::string("j\x01\0", 3));
}

// ---- The run --------------------------------------------------------------------------

TEST(UploadRun, EveryLineAcknowledged) {
  const GoodsTable table = MakeTable(3);
  Upload upload;
  upload.answerWith([](int) { return kAck; });
  upload.run(table);

  EXPECT_EQ(upload.effects(),
            (Events{"repaint", "setRange 3", "open COM1", "configure 19200", "send 1", "stepIt",
                    "send 2", "stepIt", "send 3", "stepIt", "end"}));
  // The final pause, with the full bar, is the quiet wait: 100 polls, each handling a window
  // message or idling 1 ms and then sleeping 12 ms, 1.3 s in all; then the window goes.
  Events pause{"stepIt"};
  for (int poll = 0; poll < 100; ++poll) pause.insert(pause.end(), {"pump", "sleep 1", "sleep 12"});
  pause.push_back("end");
  EXPECT_EQ(upload.afterLastStep(), pause);
  EXPECT_EQ(upload.outcome, ExchangeOutcome::Completed);
  EXPECT_EQ(upload.stop.item, 0);
  EXPECT_TRUE(upload.shown.empty());
  // The frames written out: start, length 45, "j", last-line marker, flag; the name in the
  // register's letters ("towar 1", TAB, blanks to 24 bytes); price, group, code and bar code,
  // low-order byte first; end, and the sum of the bytes before it, high byte first.
  const std::string blanks16 = "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 ";
  const std::string expected[] = {
      "17 2D 6A 00 01 74 6F 77 61 72 20 31 09 " + blanks16 +
          "1A 04 00 00 01 65 00 0B B0 5D 05 2F 04 19 07 0A",
      "17 2D 6A 00 00 74 6F 77 61 72 20 32 09 " + blanks16 +
          "02 08 00 00 02 66 00 0C B0 5D 05 2F 04 19 06 F9",
      "17 2D 6A 01 01 74 6F 77 61 72 20 33 09 " + blanks16 +
          "EA 0B 00 00 03 67 00 0D B0 5D 05 2F 04 19 07 EA",
  };
  ASSERT_EQ(upload.port.sent.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Hex(upload.port.sent[i]), expected[i]) << "line " << i + 1;
  }
  // Each answer was there at the first poll; after the last one the line stayed quiet for a
  // whole answer wait.
  EXPECT_EQ(upload.port.polls, 3 + kAnswerPolls);
  EXPECT_EQ(upload.port.closed, 0);  // run control closes the port, not the run
}

TEST(UploadRun, LastLineMarkerOnlyOnTheLastLine) {
  const struct {
    int32_t lines;
    std::string markers;
  } cases[] = {{1, "\x01"}, {2, std::string("\0\x01", 2)}, {3, std::string("\0\0\x01", 3)}};
  for (const auto& c : cases) {
    Upload upload;
    upload.answerWith([](int) { return kAck; });
    upload.run(MakeTable(c.lines));
    std::string markers;
    for (const std::string& frame : upload.port.sent) markers += frame.at(3);
    EXPECT_EQ(Hex(markers), Hex(c.markers)) << c.lines << " lines";
  }
}

TEST(UploadRun, ErrorCodeStopsAtItsLine) {
  const struct {
    unsigned code;
    const char* text;
  } cases[] = {{3, "Возвращен код ошибки  3 (товар 3 из 10, код 103, строка 7 файла)"},
               {5, "Возвращен код ошибки  5 (товар 3 из 10, код 103, строка 7 файла)"},
               {255, "Возвращен код ошибки  255 (товар 3 из 10, код 103, строка 7 файла)"}};
  for (const auto& c : cases) {
    Upload upload;
    const unsigned code = c.code;
    upload.answerWith([code](int frame) { return frame == 2 ? Answer(code) : kAck; });
    upload.run(MakeTable(10));

    EXPECT_EQ(upload.port.sent.size(), 3u) << "lines 4 to 10 are never sent";
    EXPECT_EQ(upload.count("stepIt"), 2);
    EXPECT_EQ(upload.count("sleep 1000"), 0);
    EXPECT_EQ(upload.outcome, ExchangeOutcome::FailureShown);
    ASSERT_EQ(upload.shown.size(), 1u);
    EXPECT_EQ(upload.shown[0].text, Utf8ToCp1251(c.text));
    EXPECT_EQ(upload.shown[0].style, kIconWarning);
    EXPECT_EQ(upload.stop.item, 3);
    // Each frame's item was told to the line before it went.
    ASSERT_EQ(upload.items.size(), 3u);
    for (int32_t i = 1; i <= 3; ++i) {
      const FrameItem& item = upload.items[static_cast<size_t>(i - 1)];
      EXPECT_EQ(item.item, i);
      EXPECT_EQ(item.count, 10);
      EXPECT_EQ(item.code, 100 + i);
      EXPECT_EQ(item.fileLine, 2 * i + 1);
    }
    // The window goes first, then the message.
    const Events effects = upload.effects();
    EXPECT_EQ(Events(effects.end() - 3, effects.end()), (Events{"send 3", "end", "message"}));
  }
}

TEST(UploadRun, BadAnswersEndTheWindowThenWarn) {
  const std::string echo("\x17\x2D\x6A\x00\x19\x00\x9A", 7);
  const std::string swappedSum = std::string("\x18\0\0\x05\x19\x1D\0", 7);
  const std::string endMissing = std::string("\x18\0\0\0\x18\0\x18", 7);
  for (const std::string& bad : {echo, swappedSum, endMissing}) {
    Upload upload;
    upload.answerWith([bad](int frame) { return frame == 1 ? bad : kAck; });
    upload.run(MakeTable(4));

    EXPECT_EQ(upload.effects(), (Events{"repaint", "setRange 4", "open COM1", "configure 19200",
                                        "send 1", "stepIt", "send 2", "end", "message"}))
        << Hex(bad);
    EXPECT_EQ(upload.outcome, ExchangeOutcome::FailureShown);
    ASSERT_EQ(upload.shown.size(), 1u);
    EXPECT_EQ(upload.shown[0].text,
              Utf8ToCp1251("Неверный ответ от кассы (товар 2 из 4, код 102, строка 5 файла)"));
    EXPECT_EQ(upload.stop.item, 2);
    EXPECT_EQ(upload.shown[0].style, kIconWarning);
  }
}

TEST(UploadRun, SilenceEndsTheWindowWithoutMessage) {
  Upload upload;
  upload.answerWith([](int frame) { return frame == 0 ? kAck : std::string(); });
  upload.run(MakeTable(5));

  EXPECT_EQ(upload.effects(), (Events{"repaint", "setRange 5", "open COM1", "configure 19200",
                                      "send 1", "stepIt", "send 2", "end"}));
  EXPECT_EQ(upload.outcome, ExchangeOutcome::NoAnswer);
  EXPECT_TRUE(upload.shown.empty()) << "run control reports the silence";
  EXPECT_EQ(upload.stop.item, 2);
  EXPECT_EQ(upload.stop.bytesCame, 0u);
  EXPECT_EQ(upload.port.polls, 1 + kAnswerPolls);
}

TEST(UploadRun, StrayByteAfterAnAnswerFailsTheNextLine) {
  const struct {
    const char* what;
    std::string second;  // what the register sends after frame 2
    ExchangeOutcome state;
    size_t messages;
    size_t bytesCame;  // told for run control's message
  } cases[] = {
      {"8 bytes gathered never complete", kAck, ExchangeOutcome::NoAnswer, 0, 8},
      {"7 bytes gathered are checked", kAck.substr(0, 6), ExchangeOutcome::FailureShown, 1, 0},
  };
  for (const auto& c : cases) {
    Upload upload;
    const std::string second = c.second;
    upload.answerWith([second](int frame) {
      // The byte that came after the first answer waits in the queue when line 2 is sent.
      return frame == 1 ? "\x18" + second : kAck;
    });
    upload.run(MakeTable(3));

    EXPECT_EQ(upload.port.sent.size(), 2u) << c.what;
    EXPECT_EQ(upload.count("stepIt"), 1) << c.what;
    EXPECT_EQ(upload.outcome, c.state) << c.what;
    EXPECT_EQ(upload.shown.size(), c.messages) << c.what;
    EXPECT_EQ(upload.count("end"), 1) << c.what;
    EXPECT_EQ(upload.stop.item, 2) << c.what;
    EXPECT_EQ(upload.stop.bytesCame, c.bytesCame) << c.what;
  }
}

TEST(UploadRun, AnswersOneBehindTheirFramesFailAtTheLastItem) {
  // A late answer to an earlier run waits in the queue; each frame then takes the answer to
  // the one before it (it comes while the next frame is sent), and the last frame's own
  // answer, an error code, comes after the last answer taken.
  Upload upload;
  upload.port.queue = kAck;
  upload.answerWith([](int frame) { return frame == 0 ? std::string() : kAck; });
  upload.port.arrivals = {"", "", "", Answer(7)};
  upload.run(MakeTable(3));

  EXPECT_EQ(upload.port.sent.size(), 3u);
  // The bar was full while the line was watched; the last item is not taken after all.
  EXPECT_EQ(upload.count("stepIt"), 3);
  EXPECT_EQ(upload.count("sleep 1000"), 0);
  EXPECT_EQ(upload.outcome, ExchangeOutcome::FailureShown);
  ASSERT_EQ(upload.shown.size(), 1u);
  EXPECT_EQ(upload.shown[0].text,
            Utf8ToCp1251("Лишний ответ от кассы (товар 3 из 3, код 103, строка 7 файла)"));
  EXPECT_EQ(upload.shown[0].style, kIconWarning);
  EXPECT_EQ(upload.stop.item, 3);
  // Found at the first poll after the last answer: the run waits no longer.
  EXPECT_EQ(upload.port.polls, 4);
}

TEST(UploadRun, TheLineIsWatchedToTheLastPollOfTheQuietWait) {
  // The answer comes at the first poll; one byte more at the wait's last poll, or after it.
  for (const int poll : {100, 101}) {
    Upload upload;
    upload.port.arrivals.assign(static_cast<size_t>(poll + 1), "");
    upload.port.arrivals[0] = kAck;
    upload.port.arrivals[static_cast<size_t>(poll)] = "\x18";
    upload.run(MakeTable(1));
    EXPECT_EQ(upload.port.polls, 101) << poll;
    EXPECT_EQ(upload.outcome,
              poll == 100 ? ExchangeOutcome::FailureShown : ExchangeOutcome::Completed)
        << poll;
    EXPECT_EQ(upload.stop.item, poll == 100 ? 1 : 0) << poll;
  }
}

TEST(UploadRun, AFrameTheLineDoesNotTakeEndsAsNoAnswer) {
  Upload upload;
  upload.answerWith([](int) { return kAck; });
  upload.port.failSendAt = 1;
  upload.run(MakeTable(3));

  EXPECT_EQ(upload.effects(), (Events{"repaint", "setRange 3", "open COM1", "configure 19200",
                                      "send 1", "stepIt", "send 2", "end"}));
  EXPECT_EQ(upload.outcome, ExchangeOutcome::NoAnswer);
  EXPECT_EQ(upload.stop.item, 2);
  EXPECT_EQ(upload.stop.bytesCame, 0u);
  EXPECT_EQ(upload.port.polls, 1);  // no answer is awaited for the frame not taken
}

TEST(UploadRun, AnswerSpreadOverPollsCompletes) {
  Upload upload;
  upload.port.arrivals = {"", kAck.substr(0, 5), "", kAck.substr(5)};
  upload.run(MakeTable(1));
  EXPECT_EQ(upload.outcome, ExchangeOutcome::Completed);
  EXPECT_EQ(upload.port.polls, 4 + kAnswerPolls);
  EXPECT_EQ(upload.count("stepIt"), 1);
}

TEST(UploadRun, NoLinesStillOpensConfiguresAndPauses) {
  Upload upload;
  upload.run(MakeTable(0));
  EXPECT_EQ(upload.events,
            (Events{"repaint", "setRange 0", "open COM1", "configure 19200", "sleep 1000", "end"}));
  EXPECT_EQ(upload.outcome, ExchangeOutcome::Completed);
  EXPECT_TRUE(upload.port.sent.empty());
  EXPECT_TRUE(upload.shown.empty());
}

TEST(UploadRun, PortThatDoesNotOpenIsReportedBeforeTheWindowEnds) {
  for (const OpenFailureCase& c : OpenFailureCases()) {
    SCOPED_TRACE(c.text);
    Upload upload;
    upload.port.opens = false;
    upload.port.failureDetail = c.detail;
    upload.portNumber = c.port;
    upload.run(MakeTable(3));
    const char* name = c.port == 1 ? "COM1" : "COM2";

    EXPECT_EQ(upload.events,
              (Events{"repaint", "setRange 3", std::string("open ") + name, "message", "end"}));
    EXPECT_EQ(upload.outcome, ExchangeOutcome::FailureShown);
    EXPECT_TRUE(upload.port.sent.empty());
    EXPECT_TRUE(upload.port.configured.empty());
    ASSERT_EQ(upload.shown.size(), 1u);
    EXPECT_EQ(upload.shown[0].text, Utf8ToCp1251(c.text));
    EXPECT_EQ(upload.shown[0].style, kIconError);
  }
}

TEST(UploadRun, LineSettingsAreAlways19200) {
  // The upload has no speed to be given: "/9600" is for the clear run only.
  Upload upload;
  upload.portNumber = 2;
  upload.answerWith([](int) { return kAck; });
  upload.run(MakeTable(2));

  EXPECT_EQ(upload.port.openedName, "COM2");
  ASSERT_EQ(upload.port.configured.size(), 1u);
  const PortSettings& s = upload.port.configured[0];
  EXPECT_EQ(s.baudRate, 19200u);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_FALSE(s.parityChecking);
  EXPECT_EQ(s.stopBits, 1);
  EXPECT_EQ(upload.outcome, ExchangeOutcome::Completed);
}

}  // namespace
