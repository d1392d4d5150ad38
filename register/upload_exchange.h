// The upload run: every item of the goods table to the register as one "j" command,
// stop-and-wait.
#pragma once

#include <cstdint>
#include <string>

#include "goods/goods_table.h"
#include "register/exchange_outcome.h"
#include "register/frame.h"
#include "register/serial_line.h"
#include "text/message_style.h"

constexpr size_t kItemCommandLength = 40;
constexpr uint32_t kUploadLineSpeed = 19200;  // the upload ignores "/9600"
// The full bar stays on screen this long after a complete upload. After the last answer the
// pause is the quiet wait (100 polls, at least 12 ms each), which outlasts it.
constexpr uint32_t kFinalPauseMs = 1000;
static_assert(kAnswerPolls * kPollSleepMs >= kFinalPauseMs);

// Where an upload stopped short, for the messages that name it.
struct UploadStop {
  int32_t item = 0;      // the item whose answer failed, else 0
  size_t bytesCame = 0;  // with no answer to it: the bytes that came instead (0: none)
};

// What the upload does to the window it runs in. Every call must be harmless once the
// window is gone (the user may close it with Alt+F4 while the upload goes on).
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void repaint() = 0;
  virtual void setRange(int32_t itemCount) = 0;  // range 0..itemCount, step 1
  virtual void stepIt() = 0;
  virtual void end() = 0;
};

namespace UploadExchange {

// The number the register gets for a stored bar code (Barcode column): its low 48 bits.
uint64_t barcodeNumber(const std::string& barcode);

// The 40-byte payload for item (1..GoodsCount) of the table; lastItemMarker is 1 for the
// upload's last item, else 0.
std::string buildItemCommand(const GoodsTable& table, int32_t item, uint8_t lastItemMarker);

// Sends the table's items to port (1: COM1, else COM2) through the view's window and returns
// the outcome. A missing answer is left to the caller to tell, once the window has gone
// (NoAnswerText(stop.bytesCame) + UploadItemText(table, stop.item)); every other failure has
// been shown through show. stop.item is the item whose answer failed (missing, bad or an error
// code; the last item too when bytes followed its answer), else 0; the messages about it name
// it (UploadItemText). After the last answer the full bar stays on screen while the line is
// watched to the end of the run's last poll; the caller closes the port right after. watch
// hears of each item before its frame goes, and of the wait after the last answer.
ExchangeOutcome run(ProgressView& view, const GoodsTable& table, int32_t port, SerialLine& line,
                    const PollHooks& hooks, const MessageSink& show, UploadStop& stop,
                    const ExchangeWatch& watch = {});

}  // namespace UploadExchange
