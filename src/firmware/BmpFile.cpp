// Windows bitmap reading and 32-bit writing.
#include <bit>
#include <cstdint>
#include <new>
#include <vector>

#include "firmware/PictureFile.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;
namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;
constexpr size_t kFileHeaderSize = 14;

uint16_t U16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t U32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

// One colour channel of a bit-field pixel, scaled to 0..255. A zero mask
// reads as 0 rather than dividing by zero.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (mask) {
            shift = std::countr_zero(mask);
            max = mask >> shift;
        }
    }
    uint32_t Get(uint32_t v) const {
        if (!mask) return 0;
        uint64_t c = (v & mask) >> shift;
        return static_cast<uint32_t>((c * 255 + max / 2) / max);
    }
};

struct Masks {
    Channel r, g, b;
    uint32_t Color(uint32_t v) const { return r.Get(v) << 16 | g.Get(v) << 8 | b.Get(v); }
};

struct Header {
    int32_t width = 0;
    int32_t height = 0;  // always positive here; topDown holds the sign
    bool topDown = false;
    uint16_t bpp = 0;
    uint32_t compression = kBiRgb;
    uint32_t masks[3] = {0, 0, 0};
    std::vector<uint32_t> palette;
    size_t dataAt = 0;
};

bool ParseHeader(std::string_view b, Header& h, std::string* error) {
    if (b.size() < kFileHeaderSize + 4 || b[0] != 'B' || b[1] != 'M')
        return FailWith(error, "not a Windows bitmap");
    const uint32_t offBits = U32(b, 10);
    const uint32_t hdrSize = U32(b, kFileHeaderSize);
    const bool core = hdrSize == 12;
    const bool os2v2 = hdrSize == 16 || hdrSize == 64;
    if (!core && !os2v2 && hdrSize != 40 && hdrSize != 52 && hdrSize != 56 && hdrSize != 108 &&
        hdrSize != 124)
        return FailWith(error, "unsupported bitmap header size " + std::to_string(hdrSize));
    const size_t hdrEnd = kFileHeaderSize + hdrSize;
    if (b.size() < hdrEnd) return FailWith(error, "bitmap header is truncated");

    int64_t width, height;
    uint32_t clrUsed = 0;
    if (core) {
        width = U16(b, 18);
        height = U16(b, 20);
        h.bpp = U16(b, 24);
    } else {
        width = static_cast<int32_t>(U32(b, 18));
        height = static_cast<int32_t>(U32(b, 22));
        h.bpp = U16(b, 28);
        if (hdrSize >= 20) h.compression = U32(b, 30);
        if (hdrSize >= 36) clrUsed = U32(b, 46);
    }
    if (width <= 0) return FailWith(error, "bitmap width is not positive");
    if (height == 0) return FailWith(error, "bitmap height is zero");
    h.topDown = height < 0;
    if (height < 0) height = -height;  // int64: INT32_MIN negates safely
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        return FailWith(error, "bitmap is too large (" + std::to_string(width) + " x " +
                               std::to_string(height) + ")");
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);

    // OS/2 2.x reuses 3 and 4 for Huffman and RLE24, which nobody writes any more.
    const bool bitfields =
        !os2v2 && (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields);
    const uint16_t bpp = h.bpp;
    bool depthOk;
    if (h.compression == kBiRgb)
        depthOk = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    else if (h.compression == kBiRle8)
        depthOk = bpp == 8;
    else if (h.compression == kBiRle4)
        depthOk = bpp == 4;
    else if (bitfields)
        depthOk = bpp == 16 || bpp == 32;
    else
        return FailWith(error, "unsupported bitmap compression " + std::to_string(h.compression));
    if (!depthOk)
        return FailWith(error, "unsupported bitmap depth " + std::to_string(bpp) + " for compression " +
                               std::to_string(h.compression));
    size_t tableAt = hdrEnd;
    if (bitfields) {
        size_t masksAt = hdrEnd;
        if (hdrSize >= 52) {
            masksAt = kFileHeaderSize + 40;
        } else {
            tableAt += h.compression == kBiAlphaBitfields ? 16 : 12;
            // Some writers set the flag but put the pixels where the masks belong.
            if (tableAt > b.size() || (offBits != 0 && offBits < tableAt))
                return FailWith(error, "bitmap bit-field masks are missing");
        }
        for (int i = 0; i < 3; ++i) h.masks[i] = U32(b, masksAt + 4 * i);
        if (!h.masks[0] && !h.masks[1] && !h.masks[2])
            return FailWith(error, "bitmap bit-field masks are all zero");
    } else if (bpp == 16) {
        h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
    } else if (bpp == 32) {
        h.masks[0] = 0xFF0000, h.masks[1] = 0x00FF00, h.masks[2] = 0x0000FF;
    }

    if (offBits != 0 && offBits < tableAt) return FailWith(error, "bitmap pixel data overlaps its header");
    if (offBits > b.size()) return FailWith(error, "bitmap pixel data lies past the end of the file");

    if (bpp <= 8) {
        size_t count = size_t(1) << bpp;
        if (clrUsed != 0 && clrUsed < count) count = clrUsed;
        const size_t entrySize = core ? 3 : 4;
        // A palette shorter than declared ends where the pixels begin.
        const size_t limit = offBits != 0 ? offBits : b.size();
        const size_t fits = limit > tableAt ? (limit - tableAt) / entrySize : 0;
        if (count > fits) count = fits;
        if (count == 0) return FailWith(error, "bitmap colour table is missing");
        h.palette.resize(count);
        for (size_t i = 0; i < count; ++i) {
            size_t at = tableAt + i * entrySize;
            h.palette[i] = static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
                           static_cast<uint8_t>(b[at]);
        }
        tableAt += count * entrySize;
    }
    h.dataAt = offBits != 0 ? offBits : tableAt;
    return true;
}

// Indices past a short palette draw black instead of reading beyond it.
uint32_t PaletteColor(const Header& h, uint32_t index) {
    return index < h.palette.size() ? h.palette[index] : 0;
}

bool DecodeUncompressed(std::string_view b, const Header& h, Picture& pic, std::string* error) {
    const uint64_t bitsPerRow = static_cast<uint64_t>(h.width) * h.bpp;
    const uint64_t stride = (bitsPerRow + 31) / 32 * 4;
    const uint64_t rowBytes = (bitsPerRow + 7) / 8;
    // The last row's padding is not required: several writers leave it out.
    const uint64_t need = stride * (h.height - 1) + rowBytes;
    if (h.dataAt > b.size() || need > b.size() - h.dataAt)
        return FailWith(error, "bitmap pixel data is truncated");
    const Masks masks{Channel(h.masks[0]), Channel(h.masks[1]), Channel(h.masks[2])};
    const bool plain32 = h.bpp == 32 && h.compression == kBiRgb;

    for (int32_t r = 0; r < h.height; ++r) {
        const size_t row = h.dataAt + static_cast<size_t>(r * stride);
        uint32_t* dst = &pic.Pixels[static_cast<size_t>(h.topDown ? r : h.height - 1 - r) * h.width];
        for (int32_t x = 0; x < h.width; ++x) {
            uint32_t c;
            switch (h.bpp) {
            case 1: c = PaletteColor(h, (static_cast<uint8_t>(b[row + x / 8]) >> (7 - x % 8)) & 1); break;
            case 4: c = PaletteColor(h, (static_cast<uint8_t>(b[row + x / 2]) >> (x % 2 ? 0 : 4)) & 15); break;
            case 8: c = PaletteColor(h, static_cast<uint8_t>(b[row + x])); break;
            case 16: c = masks.Color(U16(b, row + 2 * static_cast<size_t>(x))); break;
            case 24: {
                size_t at = row + 3 * static_cast<size_t>(x);
                c = static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
                    static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
                    static_cast<uint8_t>(b[at]);
                break;
            }
            default: {
                uint32_t v = U32(b, row + 4 * static_cast<size_t>(x));
                c = plain32 ? (v & 0xFFFFFF) : masks.Color(v);
                break;
            }
            }
            dst[x] = c;
        }
    }
    return true;
}

// RLE8/RLE4. Runs that pass the right edge are clipped; a delta or line end
// that leaves the picture ends the decoding like the end-of-bitmap escape.
// Top-down RLE is formally not allowed, but its meaning is plain, so it is read.
bool DecodeRle(std::string_view b, const Header& h, Picture& pic, std::string* error) {
    const bool rle4 = h.compression == kBiRle4;
    const size_t n = b.size();
    size_t p = h.dataAt;
    int64_t x = 0, row = 0;  // row counts in file order
    auto put = [&](uint32_t index) {
        if (x < h.width && row < h.height)
            pic.At(static_cast<int32_t>(x), static_cast<int32_t>(h.topDown ? row : h.height - 1 - row)) =
                PaletteColor(h, index);
        ++x;
    };
    const char* truncated = "bitmap RLE data is truncated";
    while (row < h.height) {
        if (p == n) {
            // A missing end-of-bitmap escape is tolerated once the last row has pixels.
            if (row == h.height - 1 && x > 0) return true;
            return FailWith(error, truncated);
        }
        if (n - p < 2) return FailWith(error, truncated);
        const uint8_t count = static_cast<uint8_t>(b[p]);
        const uint8_t value = static_cast<uint8_t>(b[p + 1]);
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < h.width; ++i)
                put(rle4 ? (i % 2 ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++row;
            break;
        case 1:  // end of bitmap
            return true;
        case 2:  // delta: right and up (further along in file order)
            if (n - p < 2) return FailWith(error, truncated);
            x += static_cast<uint8_t>(b[p]);
            row += static_cast<uint8_t>(b[p + 1]);
            p += 2;
            break;
        default: {  // absolute run, padded to a 16-bit boundary
            const size_t bytes = rle4 ? (value + 1u) / 2 : value;
            if (n - p < bytes) return FailWith(error, truncated);
            for (int i = 0; i < value; ++i) {
                uint8_t byte = static_cast<uint8_t>(b[p + (rle4 ? i / 2 : i)]);
                put(rle4 ? (i % 2 ? byte & 15 : byte >> 4) : byte);
            }
            p += bytes + (bytes & 1);
            if (p > n) p = n;
            break;
        }
        }
    }
    return true;
}

bool DecodeBmpInto(std::string_view bytes, Picture& out, std::string* error) {
    try {
        Header h;
        if (!ParseHeader(bytes, h, error)) return false;
        Picture pic(h.width, h.height, 0);
        bool ok = h.compression == kBiRle8 || h.compression == kBiRle4
                      ? DecodeRle(bytes, h, pic, error)
                      : DecodeUncompressed(bytes, h, pic, error);
        if (!ok) return false;
        out = std::move(pic);
        return true;
    } catch (const std::bad_alloc&) {
        return FailWith(error, "not enough memory for the bitmap");
    }
}

bool EncodeBmp32Into(const Picture& picture, std::string& out, std::string* error) {
    const int64_t w = picture.Width, h = picture.Height;
    if (w <= 0 || h <= 0) return FailWith(error, "picture is empty");
    if (picture.Pixels.size() != static_cast<size_t>(w * h))
        return FailWith(error, "picture pixel count does not match its size");
    const uint64_t dataSize = static_cast<uint64_t>(w * h) * 4;
    const uint64_t dataAt = kFileHeaderSize + 40;
    if (dataAt + dataSize > UINT32_MAX) return FailWith(error, "picture is too large for a bitmap");
    try {
        out.assign(dataAt + dataSize, '\0');
    } catch (const std::bad_alloc&) {
        return FailWith(error, "not enough memory for the bitmap");
    }
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = static_cast<char>(v & 0xFF);
        out[at + 1] = static_cast<char>(v >> 8 & 0xFF);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(dataAt + dataSize));
    put32(10, static_cast<uint32_t>(dataAt));
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));  // positive: bottom-up
    put16(26, 1);
    put16(28, 32);
    put32(30, kBiRgb);
    put32(34, static_cast<uint32_t>(dataSize));
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    size_t at = dataAt;
    for (int64_t y = h - 1; y >= 0; --y) {
        const uint32_t* src = &picture.Pixels[static_cast<size_t>(y * w)];
        for (int64_t x = 0; x < w; ++x, at += 4) put32(at, src[x] & 0xFFFFFF);
    }
    return true;
}
}  // namespace

Result<Picture> LoadBmpBytes(std::string_view bytes) {
    return AsResult<Picture>([&](Picture& out, std::string* error) { return DecodeBmpInto(bytes, out, error); });
}

Result<std::string> EncodeBmp32(const Picture& picture) {
    return AsResult<std::string>([&](std::string& out, std::string* error) { return EncodeBmp32Into(picture, out, error); });
}

}  // namespace flashsmith::firmware
