// How an exchange with the register ended, as far as the user still needs telling.
#pragma once

enum class ExchangeOutcome {
  Completed,     // the register carried out every command
  NoAnswer,      // a command got no complete answer; nobody has said so yet
  FailureShown,  // the port did not open, or a bad answer or an error code came; already shown
};
