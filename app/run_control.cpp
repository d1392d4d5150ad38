#include "app/run_control.h"

#include <functional>

#include "app/ask_user.h"
#include "app/check_run.h"
#include "app/command_line.h"
#include "app/message.h"
#include "app/progress_window.h"
#include "app/run_clock.h"
#include "app/run_state.h"
#include "app/ui_pump.h"
#include "app/wire_trace.h"
#include "goods/file_identity.h"
#include "goods/goods_file_watch.h"
#include "goods/goods_table.h"
#include "register/clear_exchange.h"
#include "register/exchange_messages.h"
#include "register/serial_port.h"
#include "register/upload_exchange.h"
#include "text/text_encoding.h"

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

// The run flow on the options: the clear run, the usage text or the upload run, through the
// serial line, the message sink and the watch it is handed; goodsBefore is the goods file as
// it was at the start.
int RunFlow(const RunOptions& options, SerialLine& line, const MessageSink& show,
            const ExchangeWatch& watch, const FileIdentity& goodsBefore) {
  Goods.create();

  // The 1 ms timer for the answer wait runs from before the port opens until after the last
  // answer and the quiet wait after it (the upload's final pause), or the no-items upload's
  // pause: a message of the exchange comes after its last poll, and the timer is given back
  // before the message waits for the user.
  const MessageSink showAfterClock = [&show](const std::string& text, uint32_t style) {
    EndFineClock();
    show(text, style);
  };

  if (options.checkOnly) return RunCheck(options, goodsBefore, Goods, show);
  if (options.clearDatabase) {
    // From a shortcut ("/i") the clear is asked for first: Нет ends the run before the port
    // opens, with no box. Where nobody can be asked, the usage text is shown instead.
    if (options.askUser) {
      const Answer answer = AskYesNo(ClearQuestionText(options.port));
      if (answer == Answer::kNotAsked) show(BuildUsageText(), kIconInformation);
      if (answer != Answer::kYes) return kExitUsage;
    }
    BeginFineClock();
    RunState = RunStateOf(ClearGoodsBase(options.port, static_cast<uint32_t>(options.baudRate),
                                         line, PlatformPollHooks(), showAfterClock, watch));
    EndFineClock();
    return RunState == NoMessage ? kExitCompleted : kExitFailure;
  }
  if (options.goodsFileName.empty()) {
    show(BuildUsageText(), kIconInformation);
    return kExitUsage;
  }
  // The file is opened by the name as the system gave it; messages show it in Windows-1251,
  // with '?' for what Windows-1251 lacks. The goods sent must be those of one file as it
  // stood: a file that changes from the start to the end of its reading, just before the
  // first frame (an export still being written, another file renamed over it), is refused.
  const std::string& path = options.goodsFileName;
  if (!ReadUnchangedGoodsFile(path, Utf8ToCp1251(path), options.wholeUnitPrices, goodsBefore, Goods,
                              show)) {
    Goods.GoodsCount = 0;
    return kExitFailure;
  }

  RunState = NoMessage;
  UploadStop stop;
  ProgressWindow::showModal([&](ProgressView& view, const PollHooks& hooks) {
    BeginFineClock();
    RunState = RunStateOf(
        UploadExchange::run(view, Goods, options.port, line, hooks, showAfterClock, stop, watch));
    EndFineClock();
  });
  // Closed as soon as the window has gone: the line has been watched up to here.
  line.close();
  if (RunState == NoAnswer) {
    show(NoAnswerText(stop.bytesCame) + UploadItemText(Goods, stop.item), kIconError);
  }
  return RunState == NoMessage ? kExitCompleted : kExitFailure;
}

// The run with its trace: TALLY_TRACE names the file.
int RunWithTrace(RunOptions options) {
  // From a shortcut ("/i") with no file dropped on it: the file chosen in the Open dialog,
  // as if it had been dropped. Cancel ends the run with no box. (Where nobody can be asked,
  // the run shows the usage text, as for no file.) "/e" needs no file.
  if (options.askUser && options.goodsFileName.empty() && !options.clearDatabase &&
      AskForGoodsFile(options.goodsFileName) == Answer::kNo) {
    return kExitUsage;
  }
  // The one serial line of the run. After the clear run it stays open until the process
  // ends; after the upload run it is closed once the window has gone.
  static SerialPort port;
  // The goods file is looked at before anything is opened or created.
  const FileIdentity goodsBefore = IdentityOfFile(options.goodsFileName);
  // TALLY_TRACE: the line, what the exchanges tell beside it and the messages pass by the
  // trace on their way. It is never written into the goods file the run names, nor does it
  // create it.
  WireTrace trace = StartWireTrace(options.goodsFileName, goodsBefore);
  TracedLine line(port, trace);
  const int status =
      RunFlow(options, line, TracedMessages(trace, ShowMessage), TraceWatch(trace), goodsBefore);
  trace.finish(status);
  return status;
}

}  // namespace

int RunTally(std::string_view arguments) { return RunWithTrace(ParseCommandLine(arguments)); }

int RunTally(const std::vector<std::string_view>& arguments) {
  return RunWithTrace(ParseArguments(arguments));
}
