// A span of addresses in the phone's 32-bit address space: a start and the
// number of bytes from it. Start and length are kept apart from the end so
// that a range may run up to 0xFFFFFFFF itself (length 2^32 from 0), and the
// end is 64-bit so that a description file's start plus size past 4 GiB
// still computes instead of wrapping.
#pragma once

#include <cstdint>

namespace flashsmith::base {

struct AddressRange {
    uint32_t Start = 0;
    int64_t Length = 0;  // 0 or more; a negative length counts as empty

    // Low to high, both included; low must not lie above high.
    static constexpr AddressRange Inclusive(uint32_t low, uint32_t high) {
        return {low, int64_t{high} - low + 1};
    }
    // Start up to one before end; empty when end does not lie above start.
    static constexpr AddressRange Between(uint32_t start, int64_t end) {
        return {start, end > start ? end - start : 0};
    }

    // One past the last address.
    constexpr int64_t End() const { return Start + Length; }
    constexpr bool Empty() const { return Length <= 0; }
    // The last address of a range that is not empty and ends within the
    // 32-bit space.
    constexpr uint32_t Last() const { return static_cast<uint32_t>(End() - 1); }

    constexpr bool Contains(int64_t address) const { return Start <= address && address < End(); }
    // True when the two share at least one address.
    constexpr bool Overlaps(const AddressRange& other) const {
        return !Empty() && !other.Empty() && Start < other.End() && other.Start < End();
    }

    constexpr bool operator==(const AddressRange&) const = default;
};

}  // namespace flashsmith::base
