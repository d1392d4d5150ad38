// The serial line as the exchanges see it: the real port, or a scripted one in tests.
#pragma once

#include <cstdint>
#include <string>

// Fixed line settings applied right after opening; only the speed varies between runs.
struct PortSettings {
  uint32_t baudRate = 19200;
  uint8_t dataBits = 8;
  bool parityChecking = false;  // no parity
  uint8_t stopBits = 1;
  uint32_t transmitQueue = 4096;
  uint32_t receiveQueue = 4096;
};

// The line settings a port reports having once configured: what it reads back from the
// device, which may differ from what was asked where the device refused a step.
struct LineSettingsReport {
  bool known = false;  // false: the line cannot tell; nothing else is meant
  // Speed (0: one the line has no number for), data bits, parity (parityChecking: any
  // parity at all), stop bits (1 or 2; 3 stands for one and a half), and the queues where
  // queuesKnown.
  PortSettings settings;
  bool queuesKnown = false;  // a terminal on Linux has no queue sizes to tell
};

class SerialLine {
 public:
  virtual ~SerialLine() = default;

  // Opens "COM1" or "COM2" for exclusive use.
  virtual bool open(const std::string& portName) = 0;
  // Applies the settings step by step; a refused step does not stop the others.
  virtual void configure(const PortSettings& settings) = 0;
  // Writes all of bytes; returns whether every byte was written.
  virtual bool send(const std::string& bytes) = 0;
  // Received bytes waiting to be read; 0 on a line error (the bytes stay for the next call).
  virtual int32_t bytesWaiting() = 0;
  // Reads up to count waiting bytes without blocking; returns what was read.
  virtual std::string receive(int32_t count) = 0;
  // Closes the line; does nothing when it is not open.
  virtual void close() = 0;
  // Why the last open failed, as "<device>: <reason>" in Windows-1251, or empty when the
  // line has nothing to add to the port's name.
  virtual std::string openFailureDetail() const { return {}; }
  // The device behind the port the line last opened or tried to open ("/dev/ttyS0",
  // "\\.\COM5"); empty when there is none or the line cannot tell.
  virtual std::string deviceName() const { return {}; }
  // The settings the open line has now, as far as it can tell.
  virtual LineSettingsReport settingsInEffect() const { return {}; }
};

// "COM1" for port 1, "COM2" for any other number.
std::string PortName(int32_t port);
