#include "base/Hex.h"

namespace flashsmith::base {

std::string HexStr(uint32_t value) {
    std::string s = "0x00000000";
    for (int i = 8; i >= 2; i -= 2, value >>= 8) {
        s[i] = kHexPairs[2 * (value & 0xFF)];
        s[i + 1] = kHexPairs[2 * (value & 0xFF) + 1];
    }
    return s;
}

const std::array<std::string, 256>& HexByteTable() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (int i = 0; i < 256; ++i) t[i].assign(&kHexPairs[2 * i], 2);
        return t;
    }();
    return table;
}

std::string BytesToHex(std::string_view bytes) {
    std::string hex(bytes.size() * 2, '\0');
    char* out = hex.data();
    for (unsigned char b : bytes) {
        *out++ = kHexPairs[2 * b];
        *out++ = kHexPairs[2 * b + 1];
    }
    return hex;
}

std::optional<size_t> HexByteCount(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    for (unsigned char c : text)
        if (kHexDigitValue[c] == 0xFF) return std::nullopt;
    return text.size() / 2;
}

bool HexToBytes(std::string_view text, std::string* bytes) {
    bytes->clear();
    if (text.size() % 2 != 0) return false;
    bytes->resize(text.size() / 2);
    char* out = bytes->data();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    unsigned bad = 0;
    for (size_t i = 0, n = text.size() / 2; i < n; ++i) {
        const unsigned hi = kHexDigitValue[in[2 * i]], lo = kHexDigitValue[in[2 * i + 1]];
        bad |= hi | lo;  // 0xFF marks a non-digit; digits stay below 16
        out[i] = static_cast<char>((hi << 4) | lo);
    }
    if (bad >= 16) {
        bytes->clear();
        return false;
    }
    return true;
}

}  // namespace flashsmith::base
