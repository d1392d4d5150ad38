#include "register/clear_exchange.h"

#include <string>

#include "app/run_state.h"
#include "goods/cp1251.h"
#include "register/exchange_messages.h"

namespace {

// The clear command: the letter "c" and five zero bytes.
const std::string kClearPayload("c\0\0\0\0\0", 6);

}  // namespace

void ClearGoodsBase(const RunOptions& options, SerialLine& line, const PollHooks& hooks,
                    const MessageSink& show) {
  RunState = NoMessage;
  const std::string portName = PortName(options.port);
  if (!line.open(portName)) {
    show(PortNotOpenedText(portName), kIconError);
    RunState = FailureShown;
    return;
  }

  PortSettings settings;
  settings.baudRate = static_cast<uint32_t>(options.baudRate);  // the clear run follows "/9600"
  line.configure(settings);
  // Whether the write went through is for the register's answer to tell.
  line.send(BuildFrame(kClearPayload));

  const std::optional<std::string> answer = AwaitAnswer(line, hooks);
  if (!answer) {
    show(NoAnswerText(), kIconError);
    RunState = NoAnswer;
    return;
  }
  const int32_t result = CheckAnswer(*answer);
  if (result == 0) {
    show(W1251("База товаров очищена"), kIconWarning);
  } else if (result < 0) {
    show(InvalidAnswerText(), kIconWarning);
    RunState = FailureShown;
  } else {
    show(ErrorCodeText(result), kIconWarning);
    RunState = FailureShown;
  }
  // The port stays open: the end of the process releases it.
}
