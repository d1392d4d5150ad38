// Names as Windows holds them, UTF-16, and as the program carries them, UTF-8. Every UTF-16
// text goes to UTF-8 and back unchanged, an unpaired surrogate included (as the three bytes
// its code would take), so that a file is opened by exactly the name it was given.
#pragma once

#include <string>
#include <string_view>

std::string Utf16ToUtf8(std::u16string_view text);

// The inverse of Utf16ToUtf8. A byte that is no part of such a sequence becomes U+FFFD, so
// that a name that never came from UTF-16 cannot open some other file.
std::u16string Utf8ToUtf16(std::string_view text);
