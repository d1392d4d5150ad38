// The Windows serial port on a real line: under Wine, TALLY_TEST_PORT names a COM port that
// stands for a pseudo-terminal which starts in XON/XOFF and RTS/CTS mode (as a terminal
// program may leave a port) and sends back every byte it receives (scripts/wine-run.sh
// sets it up). Without that port the tests are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "register/serial_port.h"
#include "text/wide_text.h"

namespace {

const char* TestPort() {
  const char* port = getenv("TALLY_TEST_PORT");
  return port != nullptr && *port != '\0' ? port : nullptr;
}

// TALLY_COM1 for the life of the object.
class Com1Variable {
 public:
  explicit Com1Variable(const std::string& value) { Set(value); }
  ~Com1Variable() { Set(""); }

 private:
  // value in UTF-8, set in the wide environment, as a user's setx would.
  static void Set(const std::string& value) {
    const std::u16string wide = Utf8ToUtf16("TALLY_COM1=" + value);
    _wputenv(reinterpret_cast<const wchar_t*>(wide.c_str()));
  }
};

}  // namespace

struct SerialPortTestAccess {
  static HANDLE handle(const SerialPort& port) { return reinterpret_cast<HANDLE>(port.handle_); }
};

namespace {

HANDLE Handle(const SerialPort& port) { return SerialPortTestAccess::handle(port); }

DCB CommState(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(GetCommState(port, &dcb));
  return dcb;
}

// Collects what comes back until count bytes have come or ten seconds have passed.
std::string Collect(SerialPort& port, size_t count) {
  std::string bytes;
  for (int i = 0; i < 1000 && bytes.size() < count; ++i) {
    Sleep(10);
    const int32_t waiting = port.bytesWaiting();
    if (waiting > 0) bytes += port.receive(waiting);
  }
  return bytes;
}

// COM1 opened through TALLY_COM1 on the test port, not yet configured.
class SerialPortWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* testPort = TestPort();
    if (testPort == nullptr) GTEST_SKIP() << "no TALLY_TEST_PORT (see scripts/wine-run.sh)";
    com1_ = std::make_unique<Com1Variable>(testPort);
    ASSERT_TRUE(port.open("COM1"));
  }

  std::unique_ptr<Com1Variable> com1_;
  SerialPort port;
};

TEST_F(SerialPortWin32, LineForBinaryFramesKeepsTheHardwareHandshake) {
  const DCB before = CommState(Handle(port));
  // The line as it was left: software and hardware handshake on.
  ASSERT_TRUE(before.fOutX);
  ASSERT_TRUE(before.fInX);
  ASSERT_TRUE(before.fOutxCtsFlow);

  port.configure(PortSettings{});

  const DCB after = CommState(Handle(port));
  EXPECT_EQ(after.BaudRate, 19200u);
  EXPECT_EQ(after.ByteSize, 8);
  EXPECT_EQ(after.Parity, NOPARITY);
  EXPECT_EQ(after.StopBits, ONESTOPBIT);
  EXPECT_TRUE(after.fBinary);
  EXPECT_FALSE(after.fOutX);
  EXPECT_FALSE(after.fInX);
  // Wine keeps no null stripping or abort-on-error state for a terminal and always reports
  // these two off; on Windows they come from the driver.
  EXPECT_FALSE(after.fNull);
  EXPECT_FALSE(after.fAbortOnError);
  // The hardware handshake as the port had it.
  EXPECT_EQ(after.fOutxCtsFlow, before.fOutxCtsFlow);
  EXPECT_EQ(after.fOutxDsrFlow, before.fOutxDsrFlow);
  EXPECT_EQ(after.fDtrControl, before.fDtrControl);
  EXPECT_EQ(after.fRtsControl, before.fRtsControl);
  EXPECT_EQ(after.fDsrSensitivity, before.fDsrSensitivity);

  // Reads return at once with what is there; a write ends after 2 s plus 2 ms a byte.
  COMMTIMEOUTS timeouts{};
  ASSERT_TRUE(GetCommTimeouts(Handle(port), &timeouts));
  EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
  EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 2000u);

  // The port reads its settings back, queues included.
  const LineSettingsReport report = port.settingsInEffect();
  EXPECT_TRUE(report.known);
  EXPECT_EQ(report.settings.baudRate, 19200u);
  EXPECT_EQ(report.settings.dataBits, 8);
  EXPECT_FALSE(report.settings.parityChecking);
  EXPECT_EQ(report.settings.stopBits, 1);
  EXPECT_TRUE(report.queuesKnown);
  EXPECT_EQ(port.deviceName(), std::string("\\\\.\\") + TestPort());
}

TEST_F(SerialPortWin32, EveryByteValueComesBackUntouched) {
  port.configure(PortSettings{});
  // XON (0x11) and XOFF (0x13) first: a line still in XON/XOFF mode would swallow them and
  // stop sending; zero bytes, CR and LF would not survive null stripping or line editing.
  std::string all("\x11\x13\x00\x0D\x0A", 5);
  for (int value = 0; value < 256; ++value) all += static_cast<char>(value);
  ASSERT_TRUE(port.send(all));
  EXPECT_EQ(Collect(port, all.size()), all);

  // A read asked for more than is waiting returns what is there: it does not wait for the
  // rest, as the port's read timeouts say (checked with the line settings).
  ASSERT_TRUE(port.send(std::string("\x18\x00\x13", 3)));
  for (int i = 0; i < 1000 && port.bytesWaiting() < 3; ++i) Sleep(10);
  ASSERT_EQ(port.bytesWaiting(), 3);
  EXPECT_EQ(port.receive(100), std::string("\x18\x00\x13", 3));
}

TEST(SerialPortWin32Names, Com1VariableThatNamesNoPortOpensNothing) {
  // Full-width "ＣＯＭ５" would be COM5 through the ANSI environment.
  const char* const values[] = {"tally-not-a-port.txt", "COM0",     "COM257",
                                "C:tally-not-a-port",   "ＣＯＭ５", "COM５"};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    const Com1Variable com1(value);
    EXPECT_EQ(SerialDevicePath("COM1"), "");
    SerialPort port;
    EXPECT_FALSE(port.open("COM1"));
    EXPECT_FALSE(port.isOpen());
  }
  // Nothing was created by those names in the current folder.
  EXPECT_EQ(GetFileAttributesA("tally-not-a-port.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("tally-not-a-port"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("COM257"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
