// How an exchange with the register ended, and what of it the user has been told.
#pragma once

enum class ExchangeOutcome {
  Completed,     // the register carried out every command
  NoAnswer,      // a command got no complete answer: the clear run has said so; after an
                 // upload, run control says so once the window is gone and the port closed
  FailureShown,  // the port did not open, or a bad answer or an error code came; already shown
};
