// SMAF ringtones: the structure reader, then a render cut short (a quarter
// second at 8 kHz) so that every input costs little, however long it says
// it plays.
#include <span>

#include "sound/Smaf.h"

using namespace flashsmith::sound;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (!ReadSmafInfo(file)) return 0;
    RenderOptions options;
    options.sampleRate = 8000;
    options.maxMs = 250;
    RenderSmaf(file, options);
    return 0;
}
