#include "register/upload_exchange.h"

#include "app/run_state.h"
#include "goods/cp1251.h"

// Placeholder until the upload lands: it fails with a message and sends nothing.
std::string UploadExchange::buildItemCommand(const GoodsTable&, int32_t, uint8_t) { return {}; }

void UploadExchange::run(ProgressView& view, const GoodsTable&, const RunOptions&, SerialLine&,
                         const PollHooks&, const MessageSink& show) {
  view.end();
  show(W1251("Пересылка товаров на кассу ещё не готова"), kIconError);
  RunState = FailureShown;
}
