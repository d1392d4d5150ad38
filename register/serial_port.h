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
  std::string deviceName() const override { return device_; }
  LineSettingsReport settingsInEffect() const override;

  bool isOpen() const { return handle_ != kClosed; }

 private:
  // The port's tests read the device's own state back through its handle.
  friend struct SerialPortTestAccess;

  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // HANDLE on Windows, file descriptor on Linux
  std::string device_;         // the device of the last open, as SerialDevicePath gave it
  std::string openFailure_;    // Linux: "<device>: <reason>" after a failed open
};

// The device that stands for "COM1" or "COM2". Linux: TALLY_COM1 / TALLY_COM2, else
// /dev/ttyS0 / /dev/ttyS1. Windows: "\\.\COM<n>" when TALLY_COM1 / TALLY_COM2 holds
// "COM<n>", the name itself when the variable is unset or empty, and an empty string (no
// port: nothing is opened) for any other value.
std::string SerialDevicePath(const std::string& portName);
