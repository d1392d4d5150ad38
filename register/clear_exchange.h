// The clear run: one "c" command that empties the register's goods base.
#pragma once

#include "app/command_line.h"
#include "app/message.h"
#include "register/frame.h"
#include "register/serial_line.h"

// Opens the port of the options, sends the clear frame at the options' speed, reports the
// outcome through show and leaves it in RunState. The port is left open.
void ClearGoodsBase(const RunOptions& options, SerialLine& line, const PollHooks& hooks,
                    const MessageSink& show);
