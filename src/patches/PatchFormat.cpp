#include "patches/PatchFormat.h"

#include <array>
#include <limits>

namespace flashsmith {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Digit value of each byte, -1 for a non-hexadecimal one.
constexpr std::array<int8_t, 256> kHexValue = [] {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<int8_t>(c - 'a' + 10);
    return t;
}();

constexpr unsigned char kPlaceholder[157] = {
    0x4D, 0x4D, 0x4D, 0x44, 0x00, 0x00, 0x00, 0x95, 0x43, 0x4E, 0x54, 0x49, 0x00, 0x00, 0x00, 0x1E,
    0x00, 0x01, 0x01, 0x00, 0x00, 0x4D, 0x32, 0x3A, 0x00, 0x2C, 0x41, 0x30, 0x3A, 0x59, 0x4B, 0x31,
    0x30, 0x44, 0x39, 0x2C, 0x41, 0x32, 0x3A, 0x59, 0x4B, 0x31, 0x30, 0x43, 0x45, 0x2C, 0x41, 0x54,
    0x52, 0x00, 0x00, 0x00, 0x00, 0x65, 0x00, 0x00, 0x10, 0x00, 0x02, 0x02, 0x41, 0x73, 0x70, 0x49,
    0x00, 0x00, 0x00, 0x10, 0x73, 0x74, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x73, 0x70, 0x3A, 0x00,
    0x00, 0x00, 0x0A, 0x2C, 0x41, 0x74, 0x73, 0x71, 0x00, 0x00, 0x00, 0x0E, 0x01, 0x00, 0x37, 0x7F,
    0x01, 0x01, 0x05, 0x06, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x41, 0x77, 0x61, 0x01, 0x00, 0x00,
    0x00, 0x29, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0x5C, 0xBE,
};

}  // namespace

bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string BytesToHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex(bytes.size() * 2, '\0');
    char* out = hex.data();
    for (unsigned char b : bytes) {
        *out++ = kDigits[b >> 4];
        *out++ = kDigits[b & 15];
    }
    return hex;
}

std::optional<size_t> HexByteCount(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    for (unsigned char c : text)
        if (kHexValue[c] < 0) return std::nullopt;
    return text.size() / 2;
}

bool HexToBytes(std::string_view text, std::string* bytes) {
    bytes->clear();
    if (text.size() % 2 != 0) return false;
    bytes->resize(text.size() / 2);
    char* out = bytes->data();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    int bad = 0;
    for (size_t i = 0, n = text.size() / 2; i < n; ++i) {
        int hi = kHexValue[in[2 * i]], lo = kHexValue[in[2 * i + 1]];
        bad |= hi | lo;  // any -1 sets the sign bit
        out[i] = static_cast<char>((hi << 4) | lo);
    }
    if (bad < 0) {
        bytes->clear();
        return false;
    }
    return true;
}

std::optional<int64_t> ReadPatchInt(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (!text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    // Accumulated as a magnitude so that the most negative value reads too.
    const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                    : uint64_t(std::numeric_limits<int64_t>::max());
    uint64_t value = 0;
    for (unsigned char c : text) {
        int digit = kHexValue[c];
        if (digit < 0 || unsigned(digit) >= base) return std::nullopt;
        if (value > (limit - unsigned(digit)) / base) return std::nullopt;
        value = value * base + unsigned(digit);
    }
    if (negative) return value == uint64_t(std::numeric_limits<int64_t>::max()) + 1
                             ? std::numeric_limits<int64_t>::min()
                             : -static_cast<int64_t>(value);
    return static_cast<int64_t>(value);
}

std::string_view PlaceholderSound() {
    return std::string_view(reinterpret_cast<const char*>(kPlaceholder), sizeof kPlaceholder);
}

}  // namespace flashsmith
