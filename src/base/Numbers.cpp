#include "base/Numbers.h"

#include <charconv>
#include <limits>

namespace flashsmith::base {

NumberParts SplitNumber(std::string_view text, unsigned syntax) {
    NumberParts p;
    if ((syntax & kNumberSign) && !text.empty() && (text[0] == '+' || text[0] == '-')) {
        p.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if ((syntax & kNumberDollar) && !text.empty() && text[0] == '$') {
        p.hex = true;
        text.remove_prefix(1);
    } else if ((syntax & kNumberBareX) && !text.empty() && (text[0] == 'x' || text[0] == 'X')) {
        p.hex = true;
        text.remove_prefix(1);
    } else if ((syntax & kNumber0x) && text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        p.hex = true;
        text.remove_prefix(2);
    }
    p.digits = text;
    return p;
}

std::optional<uint64_t> ParseDigits(std::string_view digits, int base) {
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, ec] = std::from_chars(digits.data(), end, value, base);
    if (ec != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<int64_t> ParseInteger(std::string_view text, unsigned syntax) {
    const NumberParts p = SplitNumber(text, syntax);
    const auto magnitude = ParseDigits(p.digits, p.hex ? 16 : 10);
    if (!magnitude) return std::nullopt;
    constexpr uint64_t kMax = uint64_t(std::numeric_limits<int64_t>::max());
    if (*magnitude > kMax + (p.negative ? 1 : 0)) return std::nullopt;
    if (p.negative) return static_cast<int64_t>(0 - *magnitude);
    return static_cast<int64_t>(*magnitude);
}

}  // namespace flashsmith::base
