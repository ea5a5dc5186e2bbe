#include "base/Text.h"

namespace flashsmith::base {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

template <class Blank>
std::string_view Trim(std::string_view s, Blank blank) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LowerAscii(std::string s) {
    for (char& c : s) c = Lower(c);
    return s;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    return Trim(text, [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

std::string_view TrimSpaces(std::string_view text) { return TrimChars(text, " \t"); }

std::string_view TrimChars(std::string_view text, std::string_view chars) {
    return Trim(text, [chars](char c) { return chars.find(c) != std::string_view::npos; });
}

}  // namespace flashsmith::base
