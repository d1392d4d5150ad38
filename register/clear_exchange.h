// The clear run: one "c" command that empties the register's goods base.
#pragma once

#include <cstdint>

#include "register/exchange_outcome.h"
#include "register/frame.h"
#include "register/serial_line.h"
#include "text/message_style.h"

// Opens port (1: COM1, else COM2), sends the clear frame at baudRate, tells the user the
// outcome through show (every outcome, success included) and returns it. The port is left
// open. watch hears of the wait after the answer.
ExchangeOutcome ClearGoodsBase(int32_t port, uint32_t baudRate, SerialLine& line,
                               const PollHooks& hooks, const MessageSink& show,
                               const ExchangeWatch& watch = {});
