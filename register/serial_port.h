// The real serial port: the Win32 communications API on Windows, a raw terminal on Linux.
#pragma once

#include <cstdint>
#include <string>

#include "register/serial_line.h"

class SerialPort final : public SerialLine {
 public:
  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  ~SerialPort() override;

  bool open(const std::string& portName) override;
  void configure(const PortSettings& settings) override;
  bool send(const std::string& bytes) override;
  int32_t bytesWaiting() override;
  std::string receive(int32_t count) override;
  void close() override;
  std::string openFailureDetail() const override { return openFailure_; }

  bool isOpen() const { return handle_ != kClosed; }
  const std::string& portName() const { return portName_; }

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // HANDLE on Windows, file descriptor on Linux
  std::string portName_;
  std::string openFailure_;  // Linux: "<device>: <reason>" after a failed open
};

// Linux: the device that stands for "COM1" or "COM2" (TALLY_COM1 / TALLY_COM2, else
// /dev/ttyS0 / /dev/ttyS1). Windows: the name itself.
std::string SerialDevicePath(const std::string& portName);
