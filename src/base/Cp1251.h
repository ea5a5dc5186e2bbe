// The 8-bit texts of settings, patches and language packs are Windows-1251;
// everything else in the program is UTF-8.
#pragma once

#include <string>

namespace flashsmith::base {

std::string Utf8FromAnsi(const std::string& ansi);
// Invalid UTF-8 (or sequences longer than three bytes) gives an empty text;
// characters the code page lacks become '?'.
std::string AnsiFromUtf8(const std::string& utf8);

}  // namespace flashsmith::base
