#include "app/run_control.h"

#include "app/command_line.h"
#include "app/message.h"
#include "app/progress_window.h"
#include "app/run_clock.h"
#include "app/run_state.h"
#include "app/ui_pump.h"
#include "app/wire_trace.h"
#include "goods/goods_file.h"
#include "goods/goods_table.h"
#include "register/clear_exchange.h"
#include "register/exchange_messages.h"
#include "register/serial_port.h"
#include "register/upload_exchange.h"

int32_t RunState = NoMessage;

namespace {

// What run control still owes the user after an exchange has returned.
int32_t RunStateOf(ExchangeOutcome outcome) {
  switch (outcome) {
    case ExchangeOutcome::Completed:
      return NoMessage;
    case ExchangeOutcome::NoAnswer:
      return NoAnswer;
    case ExchangeOutcome::FailureShown:
      break;
  }
  return FailureShown;
}

// The run itself, on the serial line and through the message sink it is handed; the goods
// file is opened by its name as it stands in systemArguments.
int RunWith(std::string_view arguments, std::string_view systemArguments, SerialLine& line,
            const MessageSink& show) {
  Goods.create();
  const RunOptions options = ParseCommandLine(arguments);

  // The 1 ms timer for the answer wait runs from before the port opens until after the last
  // answer or the final pause: a message of the exchange comes after its last answer, and
  // the timer is given back before the message waits for the user.
  const MessageSink showAfterClock = [&show](const std::string& text, uint32_t style) {
    EndFineClock();
    show(text, style);
  };

  if (options.clearDatabase) {
    BeginFineClock();
    RunState = RunStateOf(ClearGoodsBase(options.port, static_cast<uint32_t>(options.baudRate),
                                         line, PlatformPollHooks(), showAfterClock));
    EndFineClock();
    return RunState == NoMessage ? kExitCompleted : kExitFailure;
  }
  if (options.goodsFileName.empty()) {
    show(BuildUsageText(), kIconInformation);
    return kExitUsage;
  }
  // Switches, blanks and quotes are ASCII, which both forms hold alike and in the same order,
  // so the same name is found in both.
  const std::string path = ParseCommandLine(systemArguments).goodsFileName;
  if (!ReadGoodsFileAt(path, options.goodsFileName, options.wholeUnitPrices, Goods, show)) {
    return kExitFailure;
  }

  RunState = NoMessage;
  int32_t stoppedAt = 0;
  ProgressWindow::showModal([&](ProgressView& view, const PollHooks& hooks) {
    BeginFineClock();
    RunState = RunStateOf(
        UploadExchange::run(view, Goods, options.port, line, hooks, showAfterClock, stoppedAt));
    EndFineClock();
  });
  line.close();
  if (RunState == NoAnswer) show(NoAnswerText() + UploadItemText(Goods, stoppedAt), kIconError);
  return RunState == NoMessage ? kExitCompleted : kExitFailure;
}

}  // namespace

int RunTally(std::string_view arguments) { return RunTally(arguments, arguments); }

int RunTally(std::string_view arguments, std::string_view systemArguments) {
  // The one serial line of the run. After the clear run it stays open until the process
  // ends; after the upload run it is closed once the window has gone.
  static SerialPort port;
  // TALLY_TRACE: the line and the messages pass by the trace on their way. It is never
  // written into the goods file the run names.
  WireTrace trace = StartWireTrace(ParseCommandLine(systemArguments).goodsFileName);
  TracedLine line(port, trace);
  const int status = RunWith(arguments, systemArguments, line, TracedMessages(trace, ShowMessage));
  trace.finish(status);
  return status;
}
