// Small builders shared by the S-record tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace flashsmith::test {

// An S1/S2/S3 line (no line end) built the long way, independent of the writer.
inline std::string SLine(char type, uint32_t address, const std::vector<uint8_t>& data) {
    const int addrBytes = type - '0' + 1;
    std::vector<uint8_t> body;
    for (int i = addrBytes - 1; i >= 0; --i) body.push_back(static_cast<uint8_t>(address >> (8 * i)));
    body.insert(body.end(), data.begin(), data.end());
    const unsigned count = static_cast<unsigned>(body.size() + 1);
    unsigned sum = count;
    for (uint8_t b : body) sum += b;
    char buf[8];
    std::string s = "S";
    s += type;
    std::snprintf(buf, sizeof buf, "%02X", count);
    s += buf;
    for (uint8_t b : body) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
    }
    std::snprintf(buf, sizeof buf, "%02X", 0xFF - (sum & 0xFF));
    s += buf;
    return s;
}

// n bytes of a fixed, non-repeating-looking pattern.
inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed = 1) {
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 12345;
    for (auto& b : v) {
        x = x * 1103515245u + 12345;
        b = static_cast<uint8_t>(x >> 16);
    }
    return v;
}

inline std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace flashsmith::test
