// What the Linux serial port offers beyond the SerialLine: the reasons a device did not open,
// and the release of open ports from a signal handler.
#pragma once

#include <string>

// Why a device did not open, for the port's message (Windows-1251): "нет прав доступа" and
// so on for the usual errno values, else the system's own text. ENOTTY stands for a device
// that is no terminal, EBUSY for one that another program holds.
std::string PortFailureReason(int error);

// Gives every open port back the line settings it had before it was opened, turns its
// exclusive mode off and drops its lock. Uses only system calls that are safe in a signal
// handler; for a handler that ends the process right after.
void ReleasePortsOnSignal();
