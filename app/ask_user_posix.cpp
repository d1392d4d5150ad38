#include "app/ask_user.h"

// A terminal user has typed the command and is asked nothing: the run shows the usage text,
// so that "/i" never clears the register unasked.
Answer AskForGoodsFile(std::string&) { return Answer::kNotAsked; }

Answer AskYesNo(const std::string&) { return Answer::kNotAsked; }
