// ASCII-only case and blank handling: firmware paths, keywords and file
// formats are compared this way whatever the locale.
#pragma once

#include <string>
#include <string_view>

namespace flashsmith::base {

std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);
// Equal ignoring ASCII letter case.
bool SameTextNoCase(std::string_view a, std::string_view b);

// Without leading and trailing blanks and control characters (bytes up to ' ').
std::string_view TrimBlanks(std::string_view text);
// Without leading and trailing spaces and tabs only.
std::string_view TrimSpaces(std::string_view text);
// Without leading and trailing bytes out of chars.
std::string_view TrimChars(std::string_view text, std::string_view chars);

}  // namespace flashsmith::base
