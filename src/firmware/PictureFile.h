// Windows bitmap and JPEG files as 32-bit pictures: loading for replacement
// pictures, saving for exports. Every function returns false with a reason in
// *error (when given) instead of throwing; on failure `out` is left untouched.
#pragma once

#include <string>
#include <string_view>

#include "firmware/Picture.h"

namespace fs {

// Bigger pictures are refused before any pixel memory is taken: no phone
// picture comes near this, and a forged header must not cost gigabytes.
inline constexpr int32_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;

// Bitmaps of 1, 4, 8, 16, 24 and 32 bits per pixel: palettes (also short
// ones), bit-field masks, RLE4/RLE8, bottom-up and top-down rows, the
// 12-byte OS/2 core header, the 40-byte header and its V4/V5 extensions.
// Alpha is dropped. Pixels that RLE data skips (delta, end of line) are black.
bool LoadBmp(const std::string& path, Picture& out, std::string* error);
bool LoadBmpBytes(std::string_view bytes, Picture& out, std::string* error);

// Grayscale, colour and CMYK JPEGs, converted to RGB. A truncated stream is
// an error rather than a picture padded with gray.
bool LoadJpeg(const std::string& path, Picture& out, std::string* error);
bool LoadJpegBytes(std::string_view bytes, Picture& out, std::string* error);

// Chooses the reader by the file's first bytes ("BM" or FF D8), not by its
// name, so a mislabelled file still loads.
bool LoadPictureFile(const std::string& path, Picture& out, std::string* error);

// 32 bits per pixel, 40-byte header, uncompressed, bottom-up, fourth byte 0.
bool EncodeBmp32(const Picture& picture, std::string& out, std::string* error);
bool SaveBmp32(const std::string& path, const Picture& picture, std::string* error);

// Colour (YCbCr) JPEG without chroma subsampling; quality is clamped to 1..100.
bool EncodeJpeg(const Picture& picture, int quality, std::string& out, std::string* error);
bool SaveJpeg(const std::string& path, const Picture& picture, int quality, std::string* error);

}  // namespace fs
