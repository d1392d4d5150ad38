#include "register/serial_line.h"

std::string PortName(int32_t port) { return port == 1 ? "COM1" : "COM2"; }
