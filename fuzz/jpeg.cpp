// JPEG files offered as replacement pictures.
#include <string_view>

#include "firmware/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    flashsmith::firmware::Picture picture;
    std::string error;
    flashsmith::firmware::LoadJpegBytes(std::string_view(reinterpret_cast<const char*>(data), size)).Take(picture, &error);
    return 0;
}
