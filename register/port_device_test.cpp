// The choice of the device behind COM1 and COM2 from TALLY_COM1 / TALLY_COM2.
#include "register/port_device.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(PortVariableName, OneVariablePerPort) {
  EXPECT_EQ(PortVariableName("COM1"), "TALLY_COM1");
  EXPECT_EQ(PortVariableName("COM2"), "TALLY_COM2");
  EXPECT_EQ(PortVariableName("COM3"), "");
  EXPECT_EQ(PortVariableName("com1"), "");
}

struct DeviceCase {
  const char* port;
  const char* value;  // nullptr: the variable is not set
  std::optional<std::string> device;
};

TEST(WindowsPortDevice, ValuesAndTheNamesOpened) {
  const DeviceCase cases[] = {
      // Not set or empty: the plain port name.
      {"COM1", nullptr, "COM1"},
      {"COM2", nullptr, "COM2"},
      {"COM1", "", "COM1"},
      {"COM2", "", "COM2"},
      // COM<n>, any case, 1..256: the device namespace name.
      {"COM1", "COM5", R"(\\.\COM5)"},
      {"COM1", "com5", R"(\\.\COM5)"},
      {"COM2", "cOm7", R"(\\.\COM7)"},
      {"COM1", "COM1", R"(\\.\COM1)"},
      {"COM1", "COM10", R"(\\.\COM10)"},
      {"COM2", "COM99", R"(\\.\COM99)"},
      {"COM1", "COM256", R"(\\.\COM256)"},
      // Anything else is not a port.
      {"COM1", "COM0", std::nullopt},
      {"COM1", "COM257", std::nullopt},
      {"COM1", "COM1000", std::nullopt},
      {"COM1", "COM05", std::nullopt},
      {"COM1", "COM", std::nullopt},
      {"COM1", "COM-5", std::nullopt},
      {"COM1", "COM+5", std::nullopt},
      {"COM1", "COM5 ", std::nullopt},
      {"COM1", " COM5", std::nullopt},
      {"COM1", "COM5:", std::nullopt},
      {"COM1", "COM 5", std::nullopt},
      {"COM1", "COMx", std::nullopt},
      {"COM1", "LPT1", std::nullopt},
      {"COM1", "CON5", std::nullopt},
      {"COM1", R"(\\.\COM5)", std::nullopt},
      {"COM1", "/dev/ttyUSB0", std::nullopt},
      {"COM1", R"(C:\goods.txt)", std::nullopt},
      {"COM1", "goods.txt", std::nullopt},
      // Cyrillic look-alikes of C, O and M in Windows-1251 are not Latin letters.
      {"COM1",
       "\xD1\xCE\xCC"
       "5",
       std::nullopt},
  };
  for (const DeviceCase& c : cases) {
    SCOPED_TRACE(std::string(c.port) + " = " +
                 (c.value ? "'" + std::string(c.value) + "'" : "unset"));
    EXPECT_EQ(WindowsPortDevice(c.port, c.value), c.device);
  }
}

}  // namespace
