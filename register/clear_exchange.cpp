#include "register/clear_exchange.h"

#include "app/run_state.h"
#include "goods/cp1251.h"

// Placeholder until the clear run lands: it fails with a message and sends nothing.
void ClearGoodsBase(const RunOptions&, SerialLine&, const PollHooks&, const MessageSink& show) {
  show(W1251("Очистка базы товаров ещё не готова"), kIconError);
  RunState = FailureShown;
}
