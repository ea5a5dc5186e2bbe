// The kernel for processors with AVX-512BW (this file alone is built for
// them; BestKernel picks it only where the processor has it).
#include "profilecreator/ScanKernel.h"

#define FS_SCAN_ARCH avx512
#include "profilecreator/ScanKernel.inc"
#undef FS_SCAN_ARCH
