#include "app/run_control.h"

#include "app/command_line.h"
#include "app/message.h"
#include "app/progress_window.h"
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

int RunTally(std::string_view arguments) { return RunTally(arguments, arguments); }

int RunTally(std::string_view arguments, std::string_view systemArguments) {
  Goods.create();
  const RunOptions options = ParseCommandLine(arguments);
  // The one serial line of the run. After the clear run it stays open until the process
  // ends; after the upload run it is closed once the window has gone.
  static SerialPort port;

  if (options.clearDatabase) {
    RunState = RunStateOf(ClearGoodsBase(options.port, static_cast<uint32_t>(options.baudRate),
                                         port, PlatformPollHooks(), ShowMessage));
    return RunState == NoMessage ? kExitCompleted : kExitFailure;
  }
  if (options.goodsFileName.empty()) {
    ShowMessage(BuildUsageText(), kIconInformation);
    return kExitUsage;
  }
  // Switches, blanks and quotes are ASCII, which both forms hold alike and in the same order,
  // so the same name is found in both.
  const std::string path = ParseCommandLine(systemArguments).goodsFileName;
  if (!ReadGoodsFileAt(path, options.goodsFileName, options.wholeUnitPrices, Goods, ShowMessage)) {
    return kExitFailure;
  }

  RunState = NoMessage;
  ProgressWindow::showModal([&](ProgressView& view, const PollHooks& hooks) {
    RunState = RunStateOf(UploadExchange::run(view, Goods, options.port, port, hooks, ShowMessage));
  });
  port.close();
  if (RunState == NoAnswer) ShowMessage(NoAnswerText(), kIconError);
  return RunState == NoMessage ? kExitCompleted : kExitFailure;
}
