// The wide name by which Windows opens a file named in the program's UTF-8.
#pragma once

#include <string>

// name made whole against the current folder (GetFullPathNameW) in its long-path form (see
// LongPathForm); the name as it is when that fails.
std::wstring SystemPath(const std::string& name);
