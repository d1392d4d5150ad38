#include "register/serial_port.h"

// Placeholder until the serial port lands: no port opens.
SerialPort::~SerialPort() { close(); }
bool SerialPort::open(const std::string& portName) {
  portName_ = portName;
  return false;
}
void SerialPort::configure(const PortSettings&) {}
bool SerialPort::send(const std::string&) { return false; }
int32_t SerialPort::bytesWaiting() { return 0; }
std::string SerialPort::receive(int32_t) { return {}; }
void SerialPort::close() { handle_ = kClosed; }
std::string SerialDevicePath(const std::string& portName) { return portName; }
