// The serial port on Windows: the Win32 communications interface, synchronous throughout.
#include <windows.h>

#include <climits>

#include "register/port_device.h"
#include "register/serial_port.h"
#include "text/file_path_win32.h"

namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Line errors after which the waiting-byte count is not trusted for one poll:
// CE_RXOVER | CE_OVERRUN | CE_FRAME | CE_TXFULL | CE_IOE. Parity errors and breaks do not
// count.
constexpr DWORD kLineErrors = 0x050B;

// A write that the line does not take within its time ends as a failed send instead of
// holding the program: two seconds, plus two milliseconds a byte (about four times what a
// byte takes at 9600 bit/s).
constexpr DWORD kWriteTimeoutMs = 2000;
constexpr DWORD kWriteTimeoutPerByteMs = 2;

// One read-modify-write of the device control block; a refused change is dropped.
template <typename Change>
void ChangeState(HANDLE port, Change change) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return;
  change(dcb);
  SetCommState(port, &dcb);
}

}  // namespace

std::string SerialDevicePath(const std::string& portName) {
  // Read wide: through the ANSI environment a full-width "ＣＯＭ５" would turn into a
  // working "COM5". Only "COM" and a number written in ASCII name a port.
  const std::string variable = PortVariableName(portName);  // ASCII
  const std::string chosen =
      variable.empty() ? std::string()
                       : EnvironmentText(std::wstring(variable.begin(), variable.end()).c_str());
  return WindowsPortDevice(portName, chosen.empty() ? nullptr : chosen.c_str())
      .value_or(std::string());
}

SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const std::string& portName) {
  close();
  // A TALLY_COM1 / TALLY_COM2 that names no port opens nothing: not even a file by that name.
  const std::string device = SerialDevicePath(portName);
  device_ = device;
  if (device.empty()) return false;
  // No sharing: a port that another program holds fails to open.
  const HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(port);
  return true;
}

void SerialPort::configure(const PortSettings& settings) {
  if (!isOpen()) return;
  const HANDLE port = Handle(handle_);
  // 1. Speed; a speed the driver refuses leaves the line at its previous speed.
  ChangeState(port, [&](DCB& dcb) { dcb.BaudRate = settings.baudRate; });
  // 2. Data bits, and with them one stop bit and no parity.
  ChangeState(port, [&](DCB& dcb) {
    dcb.ByteSize = settings.dataBits;
    dcb.StopBits = ONESTOPBIT;
    dcb.fParity = FALSE;
    dcb.Parity = NOPARITY;
  });
  // 3. Parity checking off.
  ChangeState(port, [&](DCB& dcb) { dcb.fParity = settings.parityChecking ? TRUE : FALSE; });
  // 4. One stop bit.
  ChangeState(port, [](DCB& dcb) { dcb.StopBits = ONESTOPBIT; });
  // 5. Transmit queue, keeping the receive queue the driver has.
  COMMPROP properties{};
  if (GetCommProperties(port, &properties)) {
    SetupComm(port, properties.dwCurrentRxQueue, settings.transmitQueue);
  }
  // 6. Receive queue, keeping the transmit queue the driver now has.
  properties = COMMPROP{};
  if (GetCommProperties(port, &properties)) {
    SetupComm(port, settings.receiveQueue, properties.dwCurrentTxQueue);
  }
  // 7. A line for binary frames. Every byte value passes: no software handshake either way
  // (answers and frames hold 0x11 and 0x13 in sums, prices and codes, which XON/XOFF would
  // swallow or stop on), no stripping of zero bytes, no replacement of bytes with parity
  // errors, and a line error does not cancel reads and writes. The hardware handshake
  // (CTS, DSR, DTR, RTS) stays as the port has it: a register may need it.
  ChangeState(port, [](DCB& dcb) {
    dcb.fBinary = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
  });
  // Reads return at once with what is waiting; a write that the line never takes (a
  // hardware handshake that never lets the bytes go) ends after its time-out, and the
  // answer wait then ends the run as any missing answer does.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = kWriteTimeoutPerByteMs;
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  SetCommTimeouts(port, &timeouts);
  // Fresh queues: bytes from before this run (a late answer to a run that ended, say) must
  // never complete an answer of this one. Within the run nothing is discarded.
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
}

LineSettingsReport SerialPort::settingsInEffect() const {
  LineSettingsReport report;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!isOpen() || !GetCommState(Handle(handle_), &dcb)) return report;
  report.known = true;
  report.settings.baudRate = dcb.BaudRate;
  report.settings.dataBits = dcb.ByteSize;
  report.settings.parityChecking = dcb.Parity != NOPARITY || dcb.fParity;
  report.settings.stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : dcb.StopBits == ONE5STOPBITS ? 3 : 1;
  COMMPROP properties{};
  if (GetCommProperties(Handle(handle_), &properties) && properties.dwCurrentTxQueue != 0 &&
      properties.dwCurrentRxQueue != 0) {
    report.queuesKnown = true;
    report.settings.transmitQueue = properties.dwCurrentTxQueue;
    report.settings.receiveQueue = properties.dwCurrentRxQueue;
  }
  return report;
}

bool SerialPort::send(const std::string& bytes) {
  if (!isOpen()) return false;
  if (bytes.size() > MAXDWORD) return false;
  const HANDLE port = Handle(handle_);
  const DWORD size = static_cast<DWORD>(bytes.size());
  // One synchronous write normally takes every byte. One that ends with only part of them (its
  // time-out ran out, or the driver gave up early on a line that was briefly not ready) is
  // followed by another for the rest, for as long as the write's time-out allows in all.
  const DWORD limit = kWriteTimeoutMs + kWriteTimeoutPerByteMs * size;
  const DWORD start = GetTickCount();
  DWORD sent = 0;
  while (sent < size) {
    DWORD written = 0;
    if (!WriteFile(port, bytes.data() + sent, size - sent, &written, nullptr)) break;
    sent += written;
    if (sent < size && GetTickCount() - start >= limit) break;
    if (sent < size && written == 0) Sleep(1);
  }
  return sent == size;
}

int32_t SerialPort::bytesWaiting() {
  if (!isOpen()) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(Handle(handle_), &errors, &status)) return 0;
  // The error has just been cleared: the bytes are counted at the next poll.
  if ((errors & kLineErrors) != 0) return 0;
  return status.cbInQue > INT32_MAX ? INT32_MAX : static_cast<int32_t>(status.cbInQue);
}

std::string SerialPort::receive(int32_t count) {
  std::string bytes;
  if (!isOpen() || count <= 0) return bytes;
  bytes.resize(static_cast<size_t>(count));
  DWORD read = 0;
  if (!ReadFile(Handle(handle_), bytes.data(), static_cast<DWORD>(count), &read, nullptr)) {
    return {};
  }
  bytes.resize(read);
  return bytes;
}

void SerialPort::close() {
  if (!isOpen()) return;
  CloseHandle(Handle(handle_));
  handle_ = kClosed;
}
