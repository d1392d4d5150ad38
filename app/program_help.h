// What `tally --version` and `tally --help` print on Linux (UTF-8, for standard output).
#pragma once

#include <string>

// "tally 1.0.0" and a line feed.
std::string VersionText();

// The usage text followed by the Linux notes: the check run ("/t"), the two dangers of the
// switches, which device stands for COM1 and COM2, the exit statuses, the wire trace and where the
// guide is.
std::string LinuxHelpText();
