#include "base/Cp1251.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <unordered_map>

namespace flashsmith::base {

namespace {

// The Windows-1251 code page as iconv knows it: byte -> code point, and the
// reverse map for conversion back.
struct Cp1251 {
    std::array<uint32_t, 256> toUnicode{};
    std::unordered_map<uint32_t, uint8_t> fromUnicode;

    Cp1251() {
        iconv_t cd = iconv_open("UTF-32LE", "CP1251");
        for (int b = 0; b < 256; ++b) {
            toUnicode[b] = b < 0x80 ? static_cast<uint32_t>(b) : 0xFFFFFFFF;
            if (b < 0x80 || cd == reinterpret_cast<iconv_t>(-1)) continue;
            char in = static_cast<char>(b);
            char out[4];
            char* pin = &in;
            char* pout = out;
            size_t inLeft = 1, outLeft = 4;
            if (iconv(cd, &pin, &inLeft, &pout, &outLeft) != static_cast<size_t>(-1) && outLeft == 0) {
                uint32_t cp;
                std::memcpy(&cp, out, 4);
                toUnicode[b] = cp;
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        for (int b = 255; b >= 0; --b)
            if (toUnicode[b] != 0xFFFFFFFF) fromUnicode[toUnicode[b]] = static_cast<uint8_t>(b);
    }
};

const Cp1251& CodePage() {
    static const Cp1251 cp;
    return cp;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string Utf8FromAnsi(const std::string& ansi) {
    const Cp1251& cp = CodePage();
    std::string out;
    out.reserve(ansi.size() * 2);
    for (unsigned char c : ansi) {
        uint32_t u = cp.toUnicode[c];
        AppendUtf8(out, u == 0xFFFFFFFF ? 0xFFFD : u);
    }
    return out;
}

std::string AnsiFromUtf8(const std::string& utf8) {
    const Cp1251& cp = CodePage();
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0, n = utf8.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t code;
        size_t len;
        if (c < 0x80) { code = c; len = 1; }
        else if ((c & 0xE0) == 0xC0) { code = c & 0x1F; len = 2; }
        else if ((c & 0xF0) == 0xE0) { code = c & 0x0F; len = 3; }
        else return {};
        if (i + len > n) return {};
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
            if ((cc & 0xC0) != 0x80) return {};
            code = code << 6 | (cc & 0x3F);
        }
        i += len;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else {
            auto f = cp.fromUnicode.find(code);
            out += f == cp.fromUnicode.end() ? '?' : static_cast<char>(f->second);
        }
    }
    return out;
}

}  // namespace flashsmith::base
