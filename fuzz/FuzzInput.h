// Splits a fuzzer's bytes into the pieces a target feeds its reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fsfuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    bool Empty() const { return rest_.empty(); }
    std::string_view Rest() const { return rest_; }

    uint8_t Byte() {
        if (rest_.empty()) return 0;
        uint8_t b = static_cast<uint8_t>(rest_[0]);
        rest_.remove_prefix(1);
        return b;
    }
    uint32_t Le(int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= uint32_t(Byte()) << (8 * i);
        return v;
    }
    // The next n bytes (fewer at the end).
    std::string_view Take(size_t n) {
        std::string_view piece = rest_.substr(0, n);
        rest_.remove_prefix(piece.size());
        return piece;
    }

private:
    std::string_view rest_;
};

}  // namespace fsfuzz
