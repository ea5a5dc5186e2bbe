#include "profilecreator/ScanKernel.h"

#define FS_SCAN_ARCH portable
#include "profilecreator/ScanKernel.inc"
#undef FS_SCAN_ARCH

namespace fs::scan {

Kernel BestKernel() {
#if (defined(__x86_64__) || defined(__i386__)) && defined(FLASHSMITH_SCAN_AVX2)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return avx2::Masks;
#endif
    return portable::Masks;
}

}  // namespace fs::scan
