#include "profilecreator/ScanKernel.h"

#define FS_SCAN_ARCH portable
#include "profilecreator/ScanKernel.inc"
#undef FS_SCAN_ARCH

namespace flashsmith::profilecreator::scan {

Kernel BestKernel() {
#if (defined(__x86_64__) || defined(__i386__)) && defined(FLASHSMITH_SCAN_X86)
    static const Kernel best = __builtin_cpu_supports("avx512bw") ? avx512::Masks
                               : __builtin_cpu_supports("avx2")   ? avx2::Masks
                                                                  : portable::Masks;
    return best;
#else
    return portable::Masks;
#endif
}

}  // namespace flashsmith::profilecreator::scan
