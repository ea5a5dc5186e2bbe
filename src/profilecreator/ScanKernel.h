// The inner loop of the table searches: one read of a block of the image
// yields, for every byte position, a bit per test saying whether the position
// may start a match. The searches then look closely only at those positions.
// Bits are necessary conditions, never sufficient; the searches decide.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashsmith::profilecreator::scan {

// Positions come in groups of 64, one mask word per group and test.
constexpr int64_t kGroup = 64;
// A kernel reads up to this many bytes past the last position of a group.
constexpr int64_t kReach = 16;

// Byte p + OffsetA lies in [LowA, LowA + SpanA] and byte p + OffsetB in
// [LowB, LowB + SpanB] (offsets below kReach).
struct PairTest {
    uint8_t OffsetA = 0, LowA = 0, SpanA = 0;
    uint8_t OffsetB = 0, LowB = 0, SpanB = 0;
};

constexpr int kMaxPairs = 4;

struct KernelTests {
    PairTest Pairs[kMaxPairs];
    int PairCount = 0;
    // A language header at p: byte p+5 in [1, 0x3F], bytes p+6 .. p+11 zero
    // (a string count of 256 .. 16383 and a zero third word).
    bool LanguageHeader = false;
};

// Fills out[t][g] for the pair tests t (then the header test as the last
// one) and the groups g in [0, groups). Bytes base[0 .. 64 * groups + kReach)
// must be readable.
using Kernel = void (*)(const uint8_t* base, size_t groups, const KernelTests& tests, uint64_t* const* out);

namespace portable {
void Masks(const uint8_t* base, size_t groups, const KernelTests& tests, uint64_t* const* out);
}
namespace avx2 {
void Masks(const uint8_t* base, size_t groups, const KernelTests& tests, uint64_t* const* out);
}
namespace avx512 {
void Masks(const uint8_t* base, size_t groups, const KernelTests& tests, uint64_t* const* out);
}

// The widest kernel the processor runs.
Kernel BestKernel();

}  // namespace flashsmith::profilecreator::scan
