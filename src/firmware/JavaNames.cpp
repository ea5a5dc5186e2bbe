#include "firmware/JavaNames.h"

#include <cstring>

#include "base/FileHandle.h"
#include "base/FileUtil.h"
#include "base/Hex.h"
#include "base/Numbers.h"
#include "base/Text.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;

std::string EscapeName(const std::string& text) {
    static const char* kept = "\"$-_@.&+!*'(),;/#?:";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c != 0 && std::strchr(kept, c))) {
            out += static_cast<char>(c);
        } else if (c >= 'A' && c <= 'Z') {
            out += '#';
            out += static_cast<char>(c);
        } else {
            out += "%00";
            out += HexByteTable()[c];
        }
    }
    return out;
}

std::string UnescapeName(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '#') continue;
        if (c == '%') {
            std::string digits = text.substr(i + 1, 4);
            const uint64_t value = ParseDigits(digits, 16).value_or(1);
            out += static_cast<char>(value & 0xFF);
            i += 4;
        } else if (c == '&') {
            out += "\r\n";
        } else if (c == '+') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string JadSuiteName(const std::string& jadPath, const std::string& jarPath) {
    std::string name, vendor;
    {
        UniqueFile jad = OpenFile(jadPath, "rb");
        if (!jad) return {};
        for (;;) {
            int c = std::fgetc(jad.get());
            if (c == EOF) break;
            std::ungetc(c, jad.get());
            std::string line = ReadTextLine(jad.get());
            std::string upper = UpperAscii(line);
            if (size_t p = upper.find("MIDLET-NAME:"); p != std::string::npos)
                name = TrimBlanks(p + 13 <= line.size() ? std::string_view(line).substr(p + 13) : std::string_view());
            else if (size_t q = upper.find("MIDLET-VENDOR:"); q != std::string::npos)
                vendor = TrimBlanks(q + 15 <= line.size() ? std::string_view(line).substr(q + 15) : std::string_view());
        }
    }
    if (!jarPath.empty()) {
        const int64_t jarSize = FileSizeOf(jarPath);
        if (jarSize >= 0) {
            if (UniqueFile out = OpenFile(jadPath, "ab")) {
                std::string text = "\r\nMIDlet-Jar-Size: " + std::to_string(jarSize) + "\r\n" +
                                   "MIDlet-Jar-URL: " + EscapeName(name) + ".jar" + "\r\n";
                std::fwrite(text.data(), 1, text.size(), out.get());
            }
        }
    }
    if (vendor.empty() || name.empty()) return {};
    return EscapeName(vendor + "_" + name + "_suite");
}

}  // namespace flashsmith::firmware
