// Windows bitmap, JPEG, PNG and GIF files as 32-bit pictures: loading for
// replacement pictures, saving for exports (BMP, JPEG, PNG). Every function
// returns the reason of a failure instead of throwing; the file functions
// put the path in front of it.
#pragma once

#include <string>
#include <string_view>

#include "base/Result.h"
#include "firmware/Picture.h"

namespace flashsmith::firmware {

// Bigger pictures are refused before any pixel memory is taken: no phone
// picture comes near this, and a forged header must not cost gigabytes.
inline constexpr int32_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;

// Bitmaps of 1, 4, 8, 16, 24 and 32 bits per pixel: palettes (also short
// ones), bit-field masks, RLE4/RLE8, bottom-up and top-down rows, the
// 12-byte OS/2 core header, the 40-byte header and its V4/V5 extensions.
// Alpha is dropped. Pixels that RLE data skips (delta, end of line) are black.
base::Result<Picture> LoadBmp(const std::string& path);
base::Result<Picture> LoadBmpBytes(std::string_view bytes);

// Grayscale, colour and CMYK JPEGs, converted to RGB. A truncated stream is
// an error rather than a picture padded with gray.
base::Result<Picture> LoadJpeg(const std::string& path);
base::Result<Picture> LoadJpegBytes(std::string_view bytes);

// Every colour type, depth and palette of PNG, interlaced or not. See-through
// pixels are composited onto white (a phone picture has no alpha).
base::Result<Picture> LoadPngBytes(std::string_view bytes);

// The first picture of a GIF (an animation's first frame) on its logical
// screen; what it leaves uncovered or marks see-through is white.
base::Result<Picture> LoadGifBytes(std::string_view bytes);

// Chooses the reader by the file's first bytes ("BM", FF D8, the PNG
// signature, "GIF8"), not by its name, so a mislabelled file still loads.
base::Result<Picture> LoadPictureFile(const std::string& path);

// 32 bits per pixel, 40-byte header, uncompressed, bottom-up, fourth byte 0.
base::Result<std::string> EncodeBmp32(const Picture& picture);
base::Status SaveBmp32(const std::string& path, const Picture& picture);

// Colour (YCbCr) JPEG without chroma subsampling; quality is clamped to 1..100.
base::Result<std::string> EncodeJpeg(const Picture& picture, int quality);
base::Status SaveJpeg(const std::string& path, const Picture& picture, int quality);

// 8-bit RGB PNG, no alpha.
base::Result<std::string> EncodePng(const Picture& picture);
base::Status SavePng(const std::string& path, const Picture& picture);

}  // namespace flashsmith::firmware
