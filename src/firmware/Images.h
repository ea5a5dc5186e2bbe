// The four raw picture formats of the firmware: decoders into 32-bit
// pictures, the RAW16 and "09" encoders, and the exact colour arithmetic.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "firmware/BinFile.h"
#include "firmware/Picture.h"
#include "firmware/Variables.h"

namespace flashsmith::firmware {

// RGB565 / RGB332 -> 0x00RRGGBB, and 0x00BBGGRR -> RGB565.
uint32_t Rgb565To24(uint16_t v);
uint32_t Rgb332To24(uint8_t v);
uint16_t Rgb24To565(uint8_t red, uint8_t green, uint8_t blue);
// Colour forms: the picture holds 0x00RRGGBB, the drawing surface and the
// firmware's transparent colour use 0x00BBGGRR.
inline uint32_t SwapRedBlue(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Each decoder draws the top-left width x height pixels of target and returns
// the stored size in bytes, 0 when nothing was decoded.
int32_t DecodeRaw8(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target);
int32_t DecodeRaw16(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target);
int32_t DecodeWbmp(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target);
int32_t Decode09(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target);
// The decoder for a Kind (1..4); 0 for an unknown kind.
int32_t DecodePicture(int32_t kind, const BinFile& file, int64_t address, int32_t width,
                      int32_t height, Picture& target);
// Bytes an "09" picture occupies, without a target to draw into (0 when the
// data is not a decodable "09" picture of that size).
int32_t Measure09(const BinFile& file, int64_t address, int32_t width, int32_t height);

// Measures the "09" pictures of one table: each distinct (address, width,
// height) is walked once, and the walks together read at most budget bytes.
// The data of real pictures does not overlap, so a budget of the file's size
// (plus slack) covers any real table, while a forged one whose entries all
// point into the same data is stopped after a linear amount of work.
class PictureMeasurer {
public:
    PictureMeasurer(const BinFile& file, int64_t budget) : file_(file), left_(budget) {}
    // The file's size twice over plus 1 MiB.
    explicit PictureMeasurer(const BinFile& file) : PictureMeasurer(file, 2 * file.Size() + (1 << 20)) {}
    // As the free function; nullopt once the budget is spent.
    std::optional<int32_t> Measure09(int64_t address, int32_t width, int32_t height);

private:
    const BinFile& file_;
    int64_t left_;
    std::map<std::tuple<int64_t, int32_t, int32_t>, int32_t> known_;
};

constexpr size_t kEncodeBufferSize = 0x40000;

// Encoders read the picture's pixels; out is resized to the bytes written.
int32_t EncodeRaw16(const Picture& picture, int32_t width, int32_t height, std::string& out);
// Pixels equal to oldColour (0x00BBGGRR) are encoded as newColour; pass two
// equal colours for no substitution.
int32_t Encode09(const Picture& picture, int32_t width, int32_t height, std::string& out,
                 uint32_t newColour, uint32_t oldColour);

// Light grey (221, 221, 221) behind every preview.
void ClearPicture(Picture& picture);
constexpr uint32_t kClearColour = 0x00DDDDDD;

const char* KindName(int32_t kind);  // "RAW8", "RAW16", "WBMP", "09" or ""

}  // namespace flashsmith::firmware
