// Integers written as text. Each format names which signs and base prefixes
// it accepts; the digits themselves are read one way for all of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace flashsmith::base {

// What may precede the digits; hexadecimal prefixes switch to base 16.
enum NumberSyntax : unsigned {
    kNumberSign = 1,       // '+' or '-'
    kNumber0x = 2,         // "0x" / "0X"
    kNumberDollar = 4,     // "$"
    kNumberBareX = 8,      // "x" / "X"
};

struct NumberParts {
    bool negative = false;
    bool hex = false;
    std::string_view digits;
};

// Splits a sign and a base prefix (those syntax allows) off the front of text.
NumberParts SplitNumber(std::string_view text, unsigned syntax);

// The whole of digits in base 10 or 16 (either case); nullopt when empty,
// for any other character, or past 64 bits.
std::optional<uint64_t> ParseDigits(std::string_view digits, int base);

// The whole of text as a signed 64-bit number, INT64_MIN included.
std::optional<int64_t> ParseInteger(std::string_view text, unsigned syntax);

}  // namespace flashsmith::base
