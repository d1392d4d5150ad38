#include "app/run_control.h"

#include "app/command_line.h"
#include "app/message.h"
#include "app/progress_window.h"
#include "app/run_clock.h"
#include "app/run_state.h"
#include "app/ui_pump.h"
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

}  // namespace

int RunTally(std::string_view arguments) {
  Goods.create();
  const RunOptions options = ParseCommandLine(arguments);
  // The one serial line of the run. After the clear run it stays open until the process
  // ends; after the upload run it is closed once the window has gone.
  static SerialPort port;

  // The 1 ms timer for the answer wait runs from before the port opens until after the last
  // answer or the final pause: a message of the exchange comes after its last answer, and
  // the timer is given back before the message waits for the user.
  const MessageSink showAfterClock = [](const std::string& text, uint32_t style) {
    EndFineClock();
    ShowMessage(text, style);
  };

  if (options.clearDatabase) {
    BeginFineClock();
    RunState = RunStateOf(ClearGoodsBase(options.port, static_cast<uint32_t>(options.baudRate),
                                         port, PlatformPollHooks(), showAfterClock));
    EndFineClock();
    return RunState == NoMessage ? kExitCompleted : kExitFailure;
  }
  if (options.goodsFileName.empty()) {
    ShowMessage(BuildUsageText(), kIconInformation);
    return kExitUsage;
  }
  if (!ReadGoodsFile(options.goodsFileName, options.wholeUnitPrices, Goods, ShowMessage)) {
    return kExitFailure;
  }

  RunState = NoMessage;
  ProgressWindow::showModal([&](ProgressView& view, const PollHooks& hooks) {
    BeginFineClock();
    RunState =
        RunStateOf(UploadExchange::run(view, Goods, options.port, port, hooks, showAfterClock));
    EndFineClock();
  });
  port.close();
  if (RunState == NoAnswer) ShowMessage(NoAnswerText(), kIconError);
  return RunState == NoMessage ? kExitCompleted : kExitFailure;
}
