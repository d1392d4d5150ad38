#include "app/wire_trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "app/trace_file.h"
#include "tally_version.h"
#include "text/cp1251.h"

std::string TraceHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 3);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

WireTrace::WireTrace(Writer writer, Clock clock)
    : writer_(std::move(writer)), clock_(std::move(clock)) {
  if (clock_) startMs_ = clock_();
}

std::string TraceText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8; some terminals obey them.
    const bool c1 = b == 0xC2 && i + 1 < text.size() &&
                    (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
    if ((b < 0x20 && b != '\t') || b == 0x7F || c1) {
      shown += '?';
      if (c1) ++i;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

void WireTrace::line(const std::string& text) {
  // Whatever a field, a file name or the command line holds, a trace line stays one line
  // and cannot steer the terminal of whoever reads it.
  if (writer_) writer_(TraceText(text));
}

void WireTrace::timed(const std::string& text) {
  if (!writer_) return;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%7lld ms  ",
                static_cast<long long>(clock_ ? clock_() - startMs_ : 0));
  line(stamp + text);
}

void WireTrace::emptyPolls() {
  if (poll_ > answeredAt_) {
    timed("poll " + std::to_string(poll_) + ": " +
          (answeredAt_ == 0
               ? std::string(afterLastAnswer_ ? "the line stayed quiet" : "nothing received")
               : "nothing more after poll " + std::to_string(answeredAt_)));
  }
  answeredAt_ = poll_;
}

void WireTrace::start(const std::string& dateTime, const std::string& version,
                      const std::string& commandLine) {
  line("=== " + dateTime + "  tally " + version);
  line("command line: " + commandLine);
}

void WireTrace::opened(const std::string& portName, const std::string& device, bool success,
                       const std::string& detail) {
  timed("open " + portName + " (" + device + "): " + (success ? "opened" : "failed") +
        (success || detail.empty() ? "" : " (" + Cp1251ToUtf8(detail) + ")"));
}

namespace {

// "19200 bit/s, 8 data bits, no parity, 1 stop bit" and, with queues, ", transmit queue 4096,
// receive queue 4096".
std::string DescribeSettings(const PortSettings& s, bool queues) {
  std::string text =
      s.baudRate == 0 ? std::string("unknown speed") : std::to_string(s.baudRate) + " bit/s";
  text += ", " + std::to_string(s.dataBits) + " data bits, " +
          (s.parityChecking ? "parity" : "no parity") + ", " +
          (s.stopBits == 3   ? std::string("1.5 stop bits")
           : s.stopBits == 1 ? std::string("1 stop bit")
                             : std::to_string(s.stopBits) + " stop bits");
  if (queues) {
    text += ", transmit queue " + std::to_string(s.transmitQueue) + ", receive queue " +
            std::to_string(s.receiveQueue);
  }
  return text;
}

}  // namespace

void WireTrace::configured(const PortSettings& asked, const LineSettingsReport& inEffect) {
  if (inEffect.known) {
    timed("line settings: " + DescribeSettings(inEffect.settings, inEffect.queuesKnown));
  } else {
    timed("line settings asked: " + DescribeSettings(asked, true));
  }
}

void WireTrace::item(const FrameItem& item) {
  emptyPolls();
  // Where the item stands, as the messages name it: a workbook's by its sheet's row.
  const std::string place =
      item.sheet.empty()
          ? "line " + std::to_string(item.fileLine) + " of the goods file"
          : "row " + std::to_string(item.fileLine) + " of sheet «" + Cp1251ToUtf8(item.sheet) + "»";
  timed("item " + std::to_string(item.item) + " of " + std::to_string(item.count) + ", code " +
        std::to_string(item.code) + ", " + place);
}

void WireTrace::sent(const std::string& bytes, bool success) {
  emptyPolls();
  poll_ = 0;
  answeredAt_ = 0;
  afterLastAnswer_ = false;
  timed("sent      " + TraceHex(bytes) + (success ? "" : "  (not all written)"));
}

void WireTrace::lastAnswerTaken() {
  emptyPolls();
  poll_ = 0;
  answeredAt_ = 0;
  afterLastAnswer_ = true;
  timed("after the last answer: the line must stay quiet for one answer wait");
}

void WireTrace::polled() { ++poll_; }

void WireTrace::received(const std::string& bytes) {
  if (bytes.empty()) return;
  char label[32];
  std::snprintf(label, sizeof label, "poll %3d  ", static_cast<int>(poll_));
  timed(label + TraceHex(bytes));
  answeredAt_ = poll_;
}

void WireTrace::closed() {
  emptyPolls();
  timed("port closed");
}

void WireTrace::message(const std::string& text, uint32_t style) {
  emptyPolls();
  const char* kind = style == kIconError     ? "error"
                     : style == kIconWarning ? "warning"
                                             : "information";
  // One line: the text's own line breaks become " | ".
  std::string shown = Cp1251ToUtf8(text);
  while (!shown.empty() && shown.back() == '\n') shown.pop_back();
  std::string flat;
  for (char c : shown) {
    if (c == '\n') {
      flat += " | ";
    } else {
      flat += c;
    }
  }
  timed(std::string("message (") + kind + "): " + flat);
}

void WireTrace::finish(int exitStatus) {
  emptyPolls();
  timed("exit status " + std::to_string(exitStatus));
  line("");
}

bool TracedLine::open(const std::string& portName) {
  const bool opened = line_.open(portName);
  open_ = opened;
  if (trace_.on()) {
    trace_.opened(portName, line_.deviceName(), opened,
                  opened ? std::string() : line_.openFailureDetail());
  }
  return opened;
}

void TracedLine::configure(const PortSettings& settings) {
  line_.configure(settings);
  if (trace_.on()) trace_.configured(settings, line_.settingsInEffect());
}

bool TracedLine::send(const std::string& bytes) {
  const bool written = line_.send(bytes);
  trace_.sent(bytes, written);
  return written;
}

int32_t TracedLine::bytesWaiting() {
  trace_.polled();
  return line_.bytesWaiting();
}

std::string TracedLine::receive(int32_t count) {
  std::string bytes = line_.receive(count);
  trace_.received(bytes);
  return bytes;
}

std::string TracedLine::openFailureDetail() const { return line_.openFailureDetail(); }

void TracedLine::close() {
  line_.close();
  if (open_) trace_.closed();
  open_ = false;
}

ExchangeWatch TraceWatch(WireTrace& trace) {
  return {[&trace](const FrameItem& item) { trace.item(item); },
          [&trace] { trace.lastAnswerTaken(); }};
}

MessageSink TracedMessages(WireTrace& trace, MessageSink show) {
  return [&trace, show = std::move(show)](const std::string& text, uint32_t style) {
    // Written before the box appears: a run ended while the box is up still has it.
    trace.message(text, style);
    show(text, style);
  };
}

WireTrace StartWireTrace(const std::string& goodsPath, const FileIdentity& goods) {
  const std::string path = TraceFileName();
  if (path.empty()) return {};
  // The goods file is not even opened as a trace.
  if (SameFile(IdentityOfFile(path), goods)) return {};
  auto file = std::make_shared<TraceFile>();
  if (!file->open(path)) return {};
  // Closed again unwritten: appending to the goods file would change what the run reads. If
  // the open has just made the goods file (it did not exist), it is removed again, so that the
  // run finds no file there, as without a trace.
  if (!goodsPath.empty() && file->isFile(goodsPath)) {
    file->discard(goodsPath);
    return {};
  }

  // Every line is written as it happens, unbuffered: a trace is wanted most for runs that
  // hang or are cut short, and those would lose a trace held back in memory. A line costs
  // one small write between polls that are 13 ms apart.
  WireTrace trace(
      [file](const std::string& text) {
        std::string out = text;
        out += TraceLineEnd();
        file->write(out);
      },
      [] {
        using namespace std::chrono;
        return static_cast<int64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
      });

  char dateTime[32] = "";
  const std::time_t now = std::time(nullptr);
  // One thread: the shared result of localtime is not a concern.
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(dateTime, sizeof dateTime, "%Y-%m-%d %H:%M:%S", local);
  }
  trace.start(dateTime, TALLY_VERSION_TEXT, ProcessCommandLine());
  return trace;
}
