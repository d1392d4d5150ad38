// Which device stands for "COM1" or "COM2": the choice made from the variables TALLY_COM1 and
// TALLY_COM2, apart from reading them.
#pragma once

#include <optional>
#include <string>

// The variable that names the device for portName: "TALLY_COM1" for "COM1", "TALLY_COM2"
// for "COM2", empty for any other name.
std::string PortVariableName(const std::string& portName);

// Windows: the name to open for portName, given the variable's value (nullptr when it is
// not set). Unset or empty: portName itself ("COM1", "COM2"). "COM<n>" in any case, n from 1
// to 256 written without leading zeros: the device namespace name "\\.\COM<n>", which also
// reaches COM10 and above. Anything else names no port: nothing, and nothing may be opened.
std::optional<std::string> WindowsPortDevice(const std::string& portName, const char* chosen);
