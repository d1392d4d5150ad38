// The wire trace for support: when TALLY_TRACE names a file, each run appends a record of
// itself: when and how it was started, the port and the line settings it reports having
// (or, where it cannot tell, those asked for), every frame sent and
// every batch of answer bytes received, and how the run ended. The trace only watches: the
// exchanges run exactly as without it, and a trace that cannot be written is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "goods/file_identity.h"
#include "register/exchange_watch.h"
#include "register/serial_line.h"
#include "text/message_style.h"

// Bytes as lower-case hex pairs separated by blanks: "17 0b 63 00".
std::string TraceHex(std::string_view bytes);

// text (UTF-8) with every control byte but TAB (below 0x20, 0x7F, and the C1 controls
// U+0080..U+009F) written as "?".
std::string TraceText(std::string_view text);

class WireTrace {
 public:
  // Takes one finished UTF-8 line (without its line end).
  using Writer = std::function<void(const std::string& line)>;
  // Milliseconds of a steady clock.
  using Clock = std::function<int64_t()>;

  // A trace that records nothing.
  WireTrace() = default;
  WireTrace(Writer writer, Clock clock);

  bool on() const { return static_cast<bool>(writer_); }

  // The record's first lines: date and time, the version and the command line (UTF-8).
  void start(const std::string& dateTime, const std::string& version,
             const std::string& commandLine);
  // detail: why the open failed (Windows-1251), as the line tells it; may be empty.
  void opened(const std::string& portName, const std::string& device, bool success,
              const std::string& detail = {});
  // The settings the line reports having after configure; those asked for, marked so,
  // where it cannot tell.
  void configured(const PortSettings& asked, const LineSettingsReport& inEffect);
  // The goods item that the next frame carries.
  void item(const FrameItem& item);
  void sent(const std::string& bytes, bool success);
  // The run's last answer has been taken; the polls that follow are counted afresh.
  void lastAnswerTaken();
  // One poll of the line: counted, written only when bytes arrive.
  void polled();
  void received(const std::string& bytes);
  void closed();
  // A message shown to the user (Windows-1251 text, the box's style).
  void message(const std::string& text, uint32_t style);
  // The last line of the record.
  void finish(int exitStatus);

 private:
  void line(const std::string& text);
  void timed(const std::string& text);
  // Tells how many polls brought nothing after the last bytes, if any did.
  void emptyPolls();

  Writer writer_;
  Clock clock_;
  int64_t startMs_ = 0;
  int32_t poll_ = 0;        // polls since the last frame sent
  int32_t answeredAt_ = 0;  // the poll that last brought bytes
  bool afterLastAnswer_ = false;
};

// A serial line that tells the trace what passes through it and otherwise is the line it
// wraps: same calls, same order, same results.
class TracedLine final : public SerialLine {
 public:
  TracedLine(SerialLine& line, WireTrace& trace) : line_(line), trace_(trace) {}

  bool open(const std::string& portName) override;
  void configure(const PortSettings& settings) override;
  bool send(const std::string& bytes) override;
  int32_t bytesWaiting() override;
  std::string receive(int32_t count) override;
  void close() override;
  std::string openFailureDetail() const override;
  std::string deviceName() const override { return line_.deviceName(); }
  LineSettingsReport settingsInEffect() const override { return line_.settingsInEffect(); }

 private:
  SerialLine& line_;
  WireTrace& trace_;
  bool open_ = false;  // a port that never opened is not closed in the record
};

// What the exchanges tell beside the line (the item each frame carries, the wait after the
// last answer), told to the trace.
ExchangeWatch TraceWatch(WireTrace& trace);

// A message sink that tells the trace, then shows the message through show.
MessageSink TracedMessages(WireTrace& trace, MessageSink show);

// The trace of this run: to the file that TALLY_TRACE names, started with the date, the
// version and the command line; a trace that records nothing when the variable is unset or
// empty, when the file cannot be opened, or when it is the goods file that goodsPath names
// (the same file by any name or link; goods is that file as it was before the trace was
// looked at): the trace must never change the goods it records. Nor does it create the goods
// file: a trace file made where goodsPath names a file that did not exist is removed again.
WireTrace StartWireTrace(const std::string& goodsPath, const FileIdentity& goods);
