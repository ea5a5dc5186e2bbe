// Windows bitmap, JPEG, PNG and GIF files as 32-bit pictures: loading for
// replacement pictures, saving for exports (BMP, JPEG, PNG). Every function returns false with a reason in
// *error (when given) instead of throwing; on failure `out` is left untouched.
#pragma once

#include <string>
#include <string_view>

#include "firmware/Picture.h"

namespace flashsmith {

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

// Every colour type, depth and palette of PNG, interlaced or not. See-through
// pixels are composited onto white (a phone picture has no alpha).
bool LoadPngBytes(std::string_view bytes, Picture& out, std::string* error);

// The first picture of a GIF (an animation's first frame) on its logical
// screen; what it leaves uncovered or marks see-through is white.
bool LoadGifBytes(std::string_view bytes, Picture& out, std::string* error);

// Chooses the reader by the file's first bytes ("BM", FF D8, the PNG
// signature, "GIF8"), not by its name, so a mislabelled file still loads.
bool LoadPictureFile(const std::string& path, Picture& out, std::string* error);

// 32 bits per pixel, 40-byte header, uncompressed, bottom-up, fourth byte 0.
bool EncodeBmp32(const Picture& picture, std::string& out, std::string* error);
bool SaveBmp32(const std::string& path, const Picture& picture, std::string* error);

// Colour (YCbCr) JPEG without chroma subsampling; quality is clamped to 1..100.
bool EncodeJpeg(const Picture& picture, int quality, std::string& out, std::string* error);
bool SaveJpeg(const std::string& path, const Picture& picture, int quality, std::string* error);

// 8-bit RGB PNG, no alpha.
bool EncodePng(const Picture& picture, std::string& out, std::string* error);
bool SavePng(const std::string& path, const Picture& picture, std::string* error);

}  // namespace flashsmith
