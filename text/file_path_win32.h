// The wide name by which Windows opens a file named in the program's UTF-8.
#pragma once

#include <string>

// name made whole against the current folder (GetFullPathNameW) in its long-path form (see
// LongPathForm); the name as it is when that fails.
std::wstring SystemPath(const std::string& name);

// The variable name of the process's environment in UTF-8, read in its wide form, so that no
// character stands in for another (a full-width letter is never its ASCII look-alike); empty
// when it is unset or empty.
std::string EnvironmentText(const wchar_t* name);
