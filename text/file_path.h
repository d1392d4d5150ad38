// Windows file names of any length.
#pragma once

#include <string>
#include <string_view>

// The form of a full path (as GetFullPathNameW gives it) that Windows opens whatever its
// length, without the MAX_PATH limit of 260 characters: "C:\dir\file" becomes
// "\\?\C:\dir\file", "\\server\share\file" becomes "\\?\UNC\server\share\file". A path
// already in that form or naming a device ("\\.\COM1"), and any other text, stays as it is.
std::u16string LongPathForm(std::u16string_view fullPath);
