#include "text/file_path.h"

std::u16string LongPathForm(std::u16string_view fullPath) {
  const auto isLetter = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  };
  if (fullPath.size() >= 3 && isLetter(fullPath[0]) && fullPath[1] == u':' &&
      fullPath[2] == u'\\') {
    return u"\\\\?\\" + std::u16string(fullPath);
  }
  const bool prefixed = fullPath.starts_with(u"\\\\?\\") || fullPath.starts_with(u"\\\\.\\");
  if (fullPath.starts_with(u"\\\\") && !prefixed) {
    return u"\\\\?\\UNC\\" + std::u16string(fullPath.substr(2));
  }
  return std::u16string(fullPath);
}
