// Whether run control still owes the user a final message after the upload window has gone.
#pragma once

#include <cstdint>

enum : int32_t {
  NoMessage = 0,     // nothing left to report
  NoAnswer = 1,      // the register did not answer: after an upload run control says so at
                     // the end (the clear run has said so itself)
  FailureShown = 2,  // a failure has already been shown where it happened
};

// Process-wide; written by run control alone, from the outcome each exchange returns
// (ExchangeOutcome): the exchanges never touch it.
extern int32_t RunState;
