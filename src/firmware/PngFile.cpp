// PNG reading and writing through libpng's simplified interface, which
// handles every colour type, bit depth, palette, tRNS and interlacing, and
// reports errors as return values (its longjmp stays inside libpng).
#include <png.h>

#include <cstring>
#include <new>

#include "firmware/PictureFile.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;
namespace {

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Frees what libpng holds for the image on every way out.
struct ImageGuard {
    png_image* image;
    ~ImageGuard() { png_image_free(image); }
};

bool DecodePngInto(std::string_view bytes, Picture& out, std::string* error) {
    if (bytes.size() < sizeof kPngSignature || std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0)
        return FailWith(error, "not a PNG file");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{&image};
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return FailWith(error, std::string("corrupt PNG: ") + image.message);
    const int64_t w = image.width, h = image.height;
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels)
        return FailWith(error, "PNG picture is too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb;
    try {
        // See-through pixels are composited onto white: the buffer is the
        // background libpng blends onto.
        rgb.assign(static_cast<size_t>(w * h * 3), 0xFF);
    } catch (const std::bad_alloc&) {
        return FailWith(error, "not enough memory for the PNG picture");
    }
    if (!png_image_finish_read(&image, nullptr, rgb.data(), static_cast<png_int_32>(w * 3), nullptr))
        return FailWith(error, std::string("corrupt PNG: ") + image.message);
    Picture pic(static_cast<int32_t>(w), static_cast<int32_t>(h));
    for (size_t i = 0; i < pic.Pixels.size(); ++i)
        pic.Pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    out = std::move(pic);
    return true;
}

bool EncodePngInto(const Picture& picture, std::string& out, std::string* error) {
    if (picture.Width <= 0 || picture.Height <= 0) return FailWith(error, "picture is empty");
    if (picture.Pixels.size() != static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height))
        return FailWith(error, "picture pixel count does not match its size");
    std::vector<png_byte> rgb(picture.Pixels.size() * 3);
    for (size_t i = 0; i < picture.Pixels.size(); ++i) {
        const uint32_t c = picture.Pixels[i];
        rgb[3 * i] = static_cast<png_byte>(c >> 16);
        rgb[3 * i + 1] = static_cast<png_byte>(c >> 8);
        rgb[3 * i + 2] = static_cast<png_byte>(c);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width);
    image.height = static_cast<png_uint_32>(picture.Height);
    image.format = PNG_FORMAT_RGB;
    ImageGuard guard{&image};
    const png_int_32 stride = picture.Width * 3;
    // The worst case of the stream's size, so one pass writes it.
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), stride, nullptr))
        return FailWith(error, std::string("PNG encoding failed: ") + image.message);
    bytes.resize(size);
    out = std::move(bytes);
    return true;
}
}  // namespace

Result<Picture> LoadPngBytes(std::string_view bytes) {
    return AsResult<Picture>([&](Picture& out, std::string* error) { return DecodePngInto(bytes, out, error); });
}

Result<std::string> EncodePng(const Picture& picture) {
    return AsResult<std::string>([&](std::string& out, std::string* error) { return EncodePngInto(picture, out, error); });
}

}  // namespace flashsmith::firmware
