// The Windows progress window's handler and its ending, for the message pump and for tests.
#pragma once

#include <windows.h>

#include "app/progress_window.h"

// Posted by the window's initialisation to itself: the upload starts when the message loop
// delivers it.
constexpr UINT WM_START_UPLOAD = WM_USER + 999;

namespace ProgressWindow {

// The window's handler: starts the upload, lets the window be dragged and forwards colour
// changes to the progress bar. Returns 0 for every message, so that the window's default
// processing follows. The upload of the window's run waits in the window's DWLP_USER field
// until WM_START_UPLOAD takes it out and runs it; a WM_START_UPLOAD that finds none there
// ends the window.
INT_PTR CALLBACK handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sends WM_CLOSE to the window, then destroys it. Does nothing for a window that no longer
// exists.
void end(HWND window);

}  // namespace ProgressWindow
