// A serial line for tests: byte arrivals scripted poll by poll, everything sent recorded.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "register/serial_line.h"
#include "text/text_encoding.h"

// An open failure as a line reports it, and the message the exchanges must show for it.
struct OpenFailureCase {
  int32_t port;
  std::string detail;  // Windows-1251, as openFailureDetail() gives it
  std::string text;    // UTF-8
};

inline std::vector<OpenFailureCase> OpenFailureCases() {
  return {
      {1, "", "Не открыт порт COM1"},
      {2, "", "Не открыт порт COM2"},
      {1, "/dev/ttyUSB0: " + Utf8ToCp1251("нет прав доступа"),
       "Не открыт порт COM1 (/dev/ttyUSB0: нет прав доступа)"},
      {2, "/dev/ttyS1: " + Utf8ToCp1251("порт занят другой программой"),
       "Не открыт порт COM2 (/dev/ttyS1: порт занят другой программой)"},
  };
}

class ScriptedLine final : public SerialLine {
 public:
  // arrivals[i] lands in the receive queue just before the i-th bytesWaiting call.
  std::vector<std::string> arrivals;
  // lineErrorAt[i]: the i-th bytesWaiting call meets a line error and reports 0.
  std::vector<bool> lineErrorAt;
  // Called on every send with the frame's number (from 0); may add to the queue, as a
  // register answering would.
  std::function<void(int frame, const std::string& bytes, std::string& queue)> onSend;
  bool opens = true;
  int failSendAt = -1;                   // the frame (from 0) that the line does not take whole
  std::string failureDetail;             // what openFailureDetail() says
  std::string device = "/dev/scripted";  // what deviceName() says
  LineSettingsReport report;             // what settingsInEffect() says

  int polls = 0;
  bool isOpen = false;
  int opened = 0;
  int closed = 0;
  std::string openedName;
  std::vector<PortSettings> configured;
  std::vector<std::string> sent;
  std::string queue;

  bool open(const std::string& portName) override {
    ++opened;
    openedName = portName;
    isOpen = opens;
    return opens;
  }
  void configure(const PortSettings& settings) override { configured.push_back(settings); }
  bool send(const std::string& bytes) override {
    sent.push_back(bytes);
    const int frame = static_cast<int>(sent.size()) - 1;
    if (onSend) onSend(frame, bytes, queue);
    return frame != failSendAt;
  }
  int32_t bytesWaiting() override {
    const size_t poll = static_cast<size_t>(polls++);
    if (poll < arrivals.size()) queue += arrivals[poll];
    if (poll < lineErrorAt.size() && lineErrorAt[poll]) return 0;
    return static_cast<int32_t>(queue.size());
  }
  std::string receive(int32_t count) override {
    std::string out = queue.substr(0, static_cast<size_t>(count));
    queue.erase(0, out.size());
    return out;
  }
  void close() override {
    ++closed;
    isOpen = false;
  }
  std::string openFailureDetail() const override { return failureDetail; }
  std::string deviceName() const override { return device; }
  LineSettingsReport settingsInEffect() const override { return report; }
};
