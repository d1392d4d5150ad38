// The upload's window: the register's picture with a progress bar (Windows), or a progress
// line on a terminal (Linux). The upload runs inside it.
#pragma once

#include <functional>

#include "register/frame.h"
#include "register/upload_exchange.h"

namespace ProgressWindow {

// The upload run inside the window: it gets the window's view and the hooks for its answer
// waits, which keep the window alive between polls.
using Upload = std::function<void(ProgressView&, const PollHooks&)>;

// Shows the window and, once it runs, calls upload once; returns when the window is gone
// and the upload has returned.
void showModal(const Upload& upload);

}  // namespace ProgressWindow
