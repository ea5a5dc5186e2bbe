#include "firmware/Other.h"

#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <unordered_map>

namespace flashsmith {

std::string HexStr(uint32_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x00000000";
    for (int i = 9; i >= 2; --i, value >>= 4) s[i] = digits[value & 15];
    return s;
}

const std::array<std::string, 256>& HexByteTable() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (int i = 0; i < 256; ++i) t[i] = HexStr(static_cast<uint32_t>(i)).substr(8);
        return t;
    }();
    return table;
}

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

int64_t FileSizeOf(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    int64_t size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
    return size;
}

int64_t CopyFileRange(std::FILE* source, std::FILE* target, int64_t sourceOffset, int64_t count,
                      int64_t targetOffset) {
    if (count == 0) {
        if (std::fseek(source, 0, SEEK_END) != 0) return 0;
        count = std::ftell(source);
    }
    if (count <= 0 || std::fseek(source, sourceOffset, SEEK_SET) != 0 ||
        std::fseek(target, targetOffset, SEEK_SET) != 0)
        return 0;
    std::vector<char> buf(1 << 20);
    int64_t copied = 0;
    while (copied < count) {
        size_t want = static_cast<size_t>(std::min<int64_t>(count - copied, static_cast<int64_t>(buf.size())));
        size_t got = std::fread(buf.data(), 1, want, source);
        if (got == 0) break;
        if (std::fwrite(buf.data(), 1, got, target) != got) break;
        copied += static_cast<int64_t>(got);
        if (got < want) break;
    }
    return copied;
}

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
            long value = 1;
            if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char d) { return std::isxdigit(static_cast<unsigned char>(d)); }))
                value = std::strtol(digits.c_str(), nullptr, 16);
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

std::string ReadTextLine(std::FILE* file) {
    std::string line;
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\r' && c != '\n') line += static_cast<char>(c);
    if (c != EOF) {
        int next = std::fgetc(file);
        if (next != EOF && next != '\r' && next != '\n') std::ungetc(next, file);
    }
    return line;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}
std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string JadSuiteName(const std::string& jadPath, const std::string& jarPath) {
    std::FILE* jad = std::fopen(jadPath.c_str(), "rb");
    if (!jad) return {};
    std::string name, vendor;
    for (;;) {
        int c = std::fgetc(jad);
        if (c == EOF) break;
        std::ungetc(c, jad);
        std::string line = ReadTextLine(jad);
        std::string upper = UpperAscii(line);
        if (size_t p = upper.find("MIDLET-NAME:"); p != std::string::npos)
            name = TrimBlanks(p + 13 <= line.size() ? line.substr(p + 13) : std::string());
        else if (size_t q = upper.find("MIDLET-VENDOR:"); q != std::string::npos)
            vendor = TrimBlanks(q + 15 <= line.size() ? line.substr(q + 15) : std::string());
    }
    std::fclose(jad);
    if (!jarPath.empty()) {
        int64_t jarSize = -1;
        if (std::FILE* jar = std::fopen(jarPath.c_str(), "rb")) {
            std::fclose(jar);
            jarSize = FileSizeOf(jarPath);
        }
        if (jarSize >= 0) {
            if (std::FILE* out = std::fopen(jadPath.c_str(), "ab")) {
                std::string text = "\r\nMIDlet-Jar-Size: " + std::to_string(jarSize) + "\r\n" +
                                   "MIDlet-Jar-URL: " + EscapeName(name) + ".jar" + "\r\n";
                std::fwrite(text.data(), 1, text.size(), out);
                std::fclose(out);
            }
        }
    }
    if (vendor.empty() || name.empty()) return {};
    return EscapeName(vendor + "_" + name + "_suite");
}

int64_t FindPattern(const BinFile& file, int64_t start, const std::string& pattern,
                    ProgressSink& progress) {
    if (pattern.empty() || pattern.size() > 255 || start < 0 || start >= file.Size()) return -1;
    // Search in 1 MiB steps so the event loop and the progress bar keep up;
    // each step overlaps the next by the pattern length less one.
    constexpr int64_t kStep = 1 << 20;
    const char* base = reinterpret_cast<const char*>(file.Data());
    const int64_t size = file.Size();
    const int64_t m = static_cast<int64_t>(pattern.size());
    for (int64_t pos = start; pos < size; pos += kStep) {
        int64_t end = std::min(size, pos + kStep + m - 1);
        if (end - pos >= m) {
            const void* hit = ::memmem(base + pos, static_cast<size_t>(end - pos), pattern.data(), pattern.size());
            if (hit) return static_cast<const char*>(hit) - base;
        }
        progress.Step(std::min(kStep, size - pos));
        progress.ProcessEvents();
    }
    return -1;
}

}  // namespace flashsmith
