// Hexadecimal text: the tables every reader and writer of hex digits uses
// (S-record files are megabytes of it), and whole-buffer encode/decode.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashsmith::base {

// "000102...FF": the two upper-case digits of byte b at [2 * b].
inline constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> t{};
    constexpr char digits[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        t[2 * b] = digits[b >> 4];
        t[2 * b + 1] = digits[b & 15];
    }
    return t;
}();

// Value of a hexadecimal digit (either case), 0xFF for any other character.
inline constexpr std::array<uint8_t, 256> kHexDigitValue = [] {
    std::array<uint8_t, 256> t{};
    for (auto& v : t) v = 0xFF;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<uint8_t>(c - 'a' + 10);
    return t;
}();

// "0x" and eight upper-case digits.
std::string HexStr(uint32_t value);
// "00" .. "FF", built once.
const std::array<std::string, 256>& HexByteTable();

// Two upper-case digits per byte.
std::string BytesToHex(std::string_view bytes);
// Digit pairs of either case; false (and bytes empty) for an odd length or
// any other character.
bool HexToBytes(std::string_view text, std::string* bytes);
// The byte count HexToBytes would give, nullopt where it would fail.
std::optional<size_t> HexByteCount(std::string_view text);

}  // namespace flashsmith::base
