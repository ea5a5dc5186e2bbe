// SMAF ringtones: the structure reader, then a render cut short (a quarter
// second at 8 kHz) so that every input costs little, however long it says
// it plays.
#include <span>

#include "sound/Smaf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (!flashsmith::sound::ReadSmafInfo(file)) return 0;
    flashsmith::sound::RenderOptions options;
    options.sampleRate = 8000;
    options.maxMs = 250;
    flashsmith::sound::RenderSmaf(file, options);
    return 0;
}
