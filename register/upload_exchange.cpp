#include "register/upload_exchange.h"

#include "goods/number_readers.h"
#include "register/exchange_messages.h"
#include "register/register_charset.h"

namespace {

constexpr char kItemCommandLetter = 'j';
constexpr size_t kBarcodeBytes = 6;  // the low 48 bits of the bar code's number

// Appends the low `count` bytes of value, low-order byte first.
void AppendLittleEndian(std::string& out, uint64_t value, size_t count) {
  for (size_t i = 0; i < count; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

// The numeric value of the 14 stored bytes as a 64-bit two's complement integer, of which the
// command carries the low 48 bits. Fourteen bytes hold at most 14 digits, far inside 63 bits;
// a value that could not be read whole is sent as no number at all.
uint64_t UploadExchange::barcodeNumber(const std::string& barcode) {
  const NumberValue number = ParseNumber(barcode);
  const uint64_t value = number.overflow ? 0 : static_cast<uint64_t>(number.value);
  return value & ((uint64_t{1} << (8 * kBarcodeBytes)) - 1);
}

std::string UploadExchange::buildItemCommand(const GoodsTable& table, int32_t item,
                                             uint8_t lastItemMarker) {
  const auto i = static_cast<size_t>(item);
  std::string command;
  command.reserve(kItemCommandLength);
  command += kItemCommandLetter;
  command += static_cast<char>(lastItemMarker);
  command += static_cast<char>(table.Flag[i] & 0xFF);
  command += toRegisterCharset(table.Name[i]);
  AppendLittleEndian(command, static_cast<uint32_t>(table.Price[i]), 4);
  AppendLittleEndian(command, static_cast<uint32_t>(table.Group[i]), 1);
  AppendLittleEndian(command, static_cast<uint32_t>(table.Code[i]), 2);
  AppendLittleEndian(command, barcodeNumber(table.Barcode[i]), kBarcodeBytes);
  return command;
}

ExchangeOutcome UploadExchange::run(ProgressView& view, const GoodsTable& table, int32_t port,
                                    SerialLine& line, const PollHooks& hooks,
                                    const MessageSink& show, UploadStop& stop,
                                    const ExchangeWatch& watch) {
  stop = {};
  view.repaint();
  view.setRange(table.GoodsCount);

  const std::string portName = PortName(port);
  if (!line.open(portName)) {
    // The message comes while the window is still there; then the window goes.
    show(PortNotOpenedText(portName, line.openFailureDetail()), kIconError);
    view.end();
    return ExchangeOutcome::FailureShown;
  }
  // The register takes goods items at 19200 only, whatever "/9600" asked for.
  PortSettings settings;
  settings.baudRate = kUploadLineSpeed;
  line.configure(settings);

  for (int32_t i = 1; i <= table.GoodsCount; ++i) {
    const uint8_t marker = i >= table.GoodsCount ? 1 : 0;
    watch.nextItem({i, table.GoodsCount, table.Code[static_cast<size_t>(i)],
                    table.Line[static_cast<size_t>(i)], table.Sheet});
    // A frame that the line did not take whole (it stopped taking bytes) ends the run as a
    // missing answer: whatever comes back cannot be the answer to it.
    const bool sent = line.send(BuildFrame(buildItemCommand(table, i, marker)));
    size_t bytesCame = 0;
    const std::optional<std::string> answer =
        sent ? AwaitAnswer(line, hooks, &bytesCame) : std::optional<std::string>();
    if (!answer) {
      // Run control says so once the window is gone and the port is closed.
      view.end();
      stop = {i, bytesCame};
      return ExchangeOutcome::NoAnswer;
    }
    const int32_t result = CheckAnswer(*answer);
    if (result != 0) {
      view.end();
      stop.item = i;
      show(AnswerFailureText(result) + UploadItemText(table, i), kIconWarning);
      return ExchangeOutcome::FailureShown;
    }
    view.stepIt();
  }

  // The full bar stays on screen for the final pause. After a last answer the pause is spent
  // watching the line, the window handling its messages as in every answer wait: the last
  // item counts as taken only once the line has stayed quiet after its answer, since a byte
  // more means that every answer was one behind its frame. The watch ends with its last poll;
  // then the window goes and run control closes the port at once, so only those moments pass
  // unwatched. With no items there is no answer to watch after.
  if (table.GoodsCount == 0) {
    hooks.sleep(kFinalPauseMs);
  } else if (!LineStaysQuiet(line, hooks, watch)) {
    view.end();
    stop.item = table.GoodsCount;
    show(OutOfStepText() + UploadItemText(table, table.GoodsCount), kIconWarning);
    return ExchangeOutcome::FailureShown;
  }
  view.end();
  return ExchangeOutcome::Completed;
}
