// The four raw picture decoders and the "09" measurement: a kind, a width and
// a height, then the stored bytes.
#include "FuzzInput.h"
#include "firmware/Images.h"

using namespace flashsmith::firmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fsfuzz::FuzzInput in(data, size);
    const int32_t kind = in.Byte() % 5;
    const int32_t width = static_cast<int32_t>(in.Le(2) % 400);
    const int32_t height = static_cast<int32_t>(in.Le(2) % 400);
    auto file = BinFile::FromBytes(std::string(in.Rest()));
    Picture target(321, 321);
    const int32_t decoded = DecodePicture(kind, *file, 0, width, height, target);
    if (kind == k09 && Measure09(*file, 0, width, height) != decoded && decoded != 0) __builtin_trap();
    return 0;
}
