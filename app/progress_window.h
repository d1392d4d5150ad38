// The upload's window: the register's picture with a progress bar (Windows), or a progress
// line on a terminal (Linux). The upload runs inside it.
#pragma once

#include <functional>

#include "register/upload_exchange.h"

namespace ProgressWindow {

// Shows the window and, once it runs, calls upload with the window's view; returns when
// the window is gone and the upload has returned.
void showModal(const std::function<void(ProgressView&)>& upload);

}  // namespace ProgressWindow
