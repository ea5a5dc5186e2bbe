// GIF reading through giflib. Only the first picture of the stream is read
// (an animation's first frame), line by line, so a long animation costs no
// more memory than one frame.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "firmware/PictureFile.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;
namespace {

struct Source {
    std::string_view bytes;
    size_t pos = 0;
};

int ReadSource(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* src = static_cast<Source*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(std::max(wanted, 0)), src->bytes.size() - src->pos);
    std::memcpy(buffer, src->bytes.data() + src->pos, n);
    src->pos += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored;
        DGifCloseFile(gif, &ignored);
    }
};

std::string GifError(const GifFileType* gif) {
    const char* text = GifErrorString(gif->Error);
    return std::string("corrupt GIF: ") + (text ? text : "unknown error");
}

bool SizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide && w * h <= kMaxPicturePixels;
}

// Draws the frame described by gif->Image into pic; pixels of the
// transparent index keep what pic holds.
bool ReadFrame(GifFileType* gif, int transparent, Picture& pic, std::string* error) {
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) return FailWith(error, "GIF picture has no colour table");
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    // Interlaced pictures send every 8th row, then the 4th, 2nd and the rest.
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (int row = d.Interlace ? kStart[pass] : 0; row < d.Height; row += d.Interlace ? kStep[pass] : 1) {
            if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) return FailWith(error, GifError(gif));
            for (int x = 0; x < d.Width; ++x) {
                const int index = line[static_cast<size_t>(x)];
                if (index == transparent) continue;
                uint32_t colour = 0;
                if (index < map->ColorCount) {
                    const GifColorType& c = map->Colors[index];
                    colour = uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
                }
                pic.At(d.Left + x, d.Top + row) = colour;
            }
        }
    return true;
}

bool DecodeGifInto(std::string_view bytes, Picture& out, std::string* error) {
    if (bytes.size() < 6 || (bytes.substr(0, 6) != "GIF87a" && bytes.substr(0, 6) != "GIF89a"))
        return FailWith(error, "not a GIF file");
    Source src{bytes};
    int openError = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&src, ReadSource, &openError));
    if (!gif) {
        const char* text = GifErrorString(openError);
        return FailWith(error, std::string("corrupt GIF: ") + (text ? text : "unknown error"));
    }
    int transparent = NO_TRANSPARENT_COLOR;
    try {
        for (;;) {
            GifRecordType type;
            if (DGifGetRecordType(gif.get(), &type) != GIF_OK) return FailWith(error, GifError(gif.get()));
            if (type == TERMINATE_RECORD_TYPE) return FailWith(error, "GIF file holds no picture");
            if (type == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) return FailWith(error, GifError(gif.get()));
                // The graphics control block before the picture names its
                // see-through colour.
                GraphicsControlBlock gcb;
                if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 &&
                    DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
                while (block)
                    if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) return FailWith(error, GifError(gif.get()));
                continue;
            }
            if (type != IMAGE_DESC_RECORD_TYPE) continue;
            if (DGifGetImageDesc(gif.get()) != GIF_OK) return FailWith(error, GifError(gif.get()));
            const GifImageDesc& d = gif->Image;
            if (d.Left < 0 || d.Top < 0 || !SizeAllowed(d.Width, d.Height))
                return FailWith(error, "GIF picture is too large (" + std::to_string(d.Width) + " x " +
                                       std::to_string(d.Height) + ")");
            // The logical screen, grown where a frame reaches past it.
            const int64_t w = std::max<int64_t>(gif->SWidth, int64_t(d.Left) + d.Width);
            const int64_t h = std::max<int64_t>(gif->SHeight, int64_t(d.Top) + d.Height);
            if (!SizeAllowed(w, h))
                return FailWith(error, "GIF picture is too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");
            // What the frame leaves uncovered or see-through is white.
            Picture pic(static_cast<int32_t>(w), static_cast<int32_t>(h), 0xFFFFFF);
            if (!ReadFrame(gif.get(), transparent, pic, error)) return false;
            out = std::move(pic);
            return true;
        }
    } catch (const std::bad_alloc&) {
        return FailWith(error, "not enough memory for the GIF picture");
    }
}
}  // namespace

Result<Picture> LoadGifBytes(std::string_view bytes) {
    return AsResult<Picture>([&](Picture& out, std::string* error) { return DecodeGifInto(bytes, out, error); });
}

}  // namespace flashsmith::firmware
