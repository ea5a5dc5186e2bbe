// S-record files. Both layouts are read; "All" starts at the first address
// with data and is skipped when the data would spread past 16 MiB, since a
// sparse file legitimately asks for that much zero fill.
#include <string_view>

#include "srecord/S3Converter.h"

using namespace flashsmith::srecord;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string image;
    S3ReadOptions part;
    part.Mode = S3ToBinMode::Part;
    const S3ReadResult r = ReadS3Text(text, part, image, flashsmith::base::NullProgress());
    if (r.Status != S3Status::Ok || r.HighestEnd - r.LowestAddress > (16u << 20)) return 0;
    S3ReadOptions all;
    all.FromFirstAddress = true;
    ReadS3Text(text, all, image, flashsmith::base::NullProgress());
    return 0;
}
