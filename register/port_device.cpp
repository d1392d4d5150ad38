#include "register/port_device.h"

namespace {

constexpr int kHighestPort = 256;

// Latin letters to upper case; every other byte stays.
char UpperLatin(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "COM<n>" with n from 1 to kHighestPort, letters in any case; returns n, or 0.
int ComNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if (UpperLatin(name[i]) != "COM"[i]) return 0;
  }
  if (name[3] == '0') return 0;
  int number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number <= kHighestPort ? number : 0;
}

}  // namespace

std::string PortVariableName(const std::string& portName) {
  if (portName == "COM1") return "TALLY_COM1";
  if (portName == "COM2") return "TALLY_COM2";
  return {};
}

std::optional<std::string> WindowsPortDevice(const std::string& portName, const char* chosen) {
  if (chosen == nullptr || *chosen == '\0') return portName;
  const int number = ComNumber(chosen);
  if (number == 0) return std::nullopt;
  return "\\\\.\\COM" + std::to_string(number);
}
