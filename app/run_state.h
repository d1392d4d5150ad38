// Whether run control still owes the user a final message after the upload window has gone.
#pragma once

#include <cstdint>

enum : int32_t {
  NoMessage = 0,     // nothing left to report
  NoAnswer = 1,      // the register did not answer: run control says so at the end
  FailureShown = 2,  // a failure has already been shown where it happened
};

// Process-wide; written by run control and by the clear and upload exchanges.
extern int32_t RunState;
