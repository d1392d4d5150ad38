#include "register/clear_exchange.h"

#include <string>

#include "register/exchange_messages.h"
#include "text/text_encoding.h"

namespace {

// The clear command: the letter "c" and five zero bytes.
const std::string kClearPayload("c\0\0\0\0\0", 6);

}  // namespace

ExchangeOutcome ClearGoodsBase(int32_t port, uint32_t baudRate, SerialLine& line,
                               const PollHooks& hooks, const MessageSink& show,
                               const ExchangeWatch& watch) {
  const std::string portName = PortName(port);
  if (!line.open(portName)) {
    show(PortNotOpenedText(portName, line.openFailureDetail()), kIconError);
    return ExchangeOutcome::FailureShown;
  }

  PortSettings settings;
  settings.baudRate = baudRate;  // the clear run follows "/9600"
  line.configure(settings);
  // A frame that the line did not take whole can have no answer worth waiting for.
  const bool sent = line.send(BuildFrame(kClearPayload));
  size_t bytesCame = 0;
  const std::optional<std::string> answer =
      sent ? AwaitAnswer(line, hooks, &bytesCame) : std::optional<std::string>();
  if (!answer) {
    show(NoAnswerText(bytesCame), kIconError);
    return ExchangeOutcome::NoAnswer;
  }
  // The port stays open: the end of the process releases it.
  const int32_t result = CheckAnswer(*answer);
  if (result == 0 && !LineStaysQuiet(line, hooks, watch)) {
    // The answer taken may have been a late one to an earlier run.
    show(OutOfStepText(), kIconWarning);
    return ExchangeOutcome::FailureShown;
  }
  if (result == 0) {
    show(Utf8ToCp1251("База товаров очищена"), kIconWarning);
    return ExchangeOutcome::Completed;
  }
  show(AnswerFailureText(result), kIconWarning);
  return ExchangeOutcome::FailureShown;
}
