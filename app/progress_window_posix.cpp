#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/message.h"
#include "app/progress_line_posix.h"
#include "app/progress_window.h"
#include "app/ui_pump.h"

std::atomic<bool> ProgressLineShown = false;

namespace {

constexpr int kWidestBar = 40;
constexpr int kNarrowestBar = 10;
constexpr int kDefaultColumns = 80;

void WriteToTerminal(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

int TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

// The window of the upload on a terminal: one line "OKA PF [####----] n/N" on standard
// error, redrawn in place. When standard error is not a terminal nothing is drawn at all.
class TerminalProgress final : public ProgressView {
 public:
  TerminalProgress() : terminal_(isatty(STDERR_FILENO) == 1), columns_(TerminalColumns()) {}

  void repaint() override { draw(); }

  void setRange(int32_t itemCount) override {
    if (gone_) return;
    range_ = std::max(itemCount, 0);
    position_ = 0;
    rangeSet_ = true;
    draw();
  }

  void stepIt() override {
    if (gone_) return;
    if (position_ < range_) ++position_;
    draw();
  }

  // The bar stays on screen with its line ended: full after a complete upload, and after a
  // failure with the count of goods lines the register took, which the message then follows.
  void end() override {
    if (gone_) return;
    gone_ = true;
    if (!ProgressLineShown) return;
    ProgressLineShown = false;
    WriteToTerminal("\n");
  }

  bool gone() const { return gone_; }

 private:
  void draw() {
    if (!terminal_ || gone_) return;
    const std::string count =
        rangeSet_ ? std::to_string(position_) + "/" + std::to_string(range_) : std::string();
    std::string line = "\r";
    line += kMessageCaption;
    // Caption, blank, two brackets, blank, count, and one column spare at the right edge.
    const int room = columns_ - static_cast<int>(kMessageCaption.size() + count.size()) - 5;
    const int bar = std::min(kWidestBar, room);
    if (bar >= kNarrowestBar) {
      const int done = range_ > 0 ? static_cast<int>(static_cast<int64_t>(bar) * position_ / range_)
                                  : (rangeSet_ ? bar : 0);
      line += " [";
      line.append(static_cast<size_t>(done), '#');
      line.append(static_cast<size_t>(bar - done), '-');
      line += "]";
    }
    if (!count.empty()) line += " " + count;
    line += "\033[K";
    // Marked first, so that a signal while the line is written still ends it.
    ProgressLineShown = true;
    WriteToTerminal(line);
  }

  const bool terminal_;
  const int columns_;
  bool gone_ = false;
  bool rangeSet_ = false;
  int32_t range_ = 0;
  int32_t position_ = 0;
};

}  // namespace

void ClearProgressLine() {
  if (!ProgressLineShown) return;
  ProgressLineShown = false;
  WriteToTerminal("\r\033[K");
}

void FinishProgressLineOnSignal() {
  if (!ProgressLineShown.exchange(false)) return;
  const ssize_t written = write(STDERR_FILENO, "\n", 1);
  static_cast<void>(written);  // nowhere to report a failure to
}

void ProgressWindow::showModal(const Upload& upload) {
  TerminalProgress view;
  upload(view, PlatformPollHooks());
  // The upload ends its window on every road; should it not have, the line goes now.
  if (!view.gone()) view.end();
}
