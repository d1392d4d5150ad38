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

int RunTally(std::string_view arguments) {
  Goods.create();
  const RunOptions options = ParseCommandLine(arguments);
  // The one serial line of the run. After the clear run it stays open until the process
  // ends; after the upload run it is closed once the window has gone.
  static SerialPort port;

  if (options.clearDatabase) {
    ClearGoodsBase(options, port, PlatformPollHooks(), ShowMessage);
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
    UploadExchange::run(view, Goods, options, port, hooks, ShowMessage);
  });
  port.close();
  if (RunState == NoAnswer) ShowMessage(NoAnswerText(), kIconError);
  return RunState == NoMessage ? kExitCompleted : kExitFailure;
}
