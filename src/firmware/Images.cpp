#include "firmware/Images.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace flashsmith::firmware {

uint32_t Rgb565To24(uint16_t v) {
    uint32_t r = ((v >> 11) & 31) * 255 / 31;
    uint32_t g = ((v >> 5) & 63) * 255 / 63;
    uint32_t b = (v & 31) * 255 / 31;
    return r << 16 | g << 8 | b;
}

uint32_t Rgb332To24(uint8_t v) {
    uint32_t r = ((v >> 5) & 7) * 255 / 7;
    uint32_t g = ((v >> 2) & 7) * 255 / 7;
    uint32_t b = (v & 3) * 255 / 3;
    return r << 16 | g << 8 | b;
}

uint16_t Rgb24To565(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint16_t>(((red >> 3) << 11) + ((green >> 2) << 5) + (blue >> 3));
}

namespace {

bool Fits(int32_t width, int32_t height, const Picture& target) {
    return width > 0 && height > 0 && target.Width >= width && target.Height >= height;
}

}  // namespace

int32_t DecodeRaw8(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target) {
    if (!Fits(width, height, target)) return 0;
    std::string_view data = file.View(address, static_cast<size_t>(width) * height);
    size_t i = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width && i < data.size(); ++x, ++i)
            target.At(x, y) = Rgb332To24(static_cast<uint8_t>(data[i]));
    return width * height;
}

int32_t DecodeRaw16(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target) {
    if (!Fits(width, height, target)) return 0;
    std::string_view data = file.View(address, static_cast<size_t>(width) * height * 2);
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    size_t i = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width && i + 1 < data.size(); ++x, i += 2)
            target.At(x, y) = Rgb565To24(static_cast<uint16_t>(p[i] | p[i + 1] << 8));
    return width * height * 2;
}

int32_t DecodeWbmp(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target) {
    if (!Fits(width, height, target)) return 0;
    int32_t bands = (height + 7) / 8;
    std::string_view data = file.View(address, static_cast<size_t>(width) * bands);
    for (int32_t b = 0; b < bands; ++b)
        for (int32_t x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(b) * width + x;
            if (i >= data.size()) return width * bands;
            uint8_t byte = static_cast<uint8_t>(data[i]);
            for (int k = 0; k < 8 && b * 8 + k < height; ++k)
                target.At(x, b * 8 + k) = (byte >> k & 1) ? 0x000000 : 0xFFFFFF;
        }
    return width * bands;
}

namespace {

// The largest "09" encoding of width x height pixels: header, a full
// palette, and a control byte plus two bytes for every pixel, rounded even.
int64_t Max09Size(int32_t width, int32_t height) {
    return 2 + 2 * 127 + static_cast<int64_t>(width) * height * 3 + 1;
}

// Walks an "09" stream; draw(x, y, colour) receives every decoded pixel.
// Without kDraw a run of one colour is stepped over whole, so measuring costs
// one step per byte read whatever the picture's area; *read (when given)
// receives the bytes the walk looked at.
template <bool kDraw, typename Draw>
int32_t Walk09(const BinFile& file, int64_t address, int32_t width, int32_t height, Draw draw,
               int64_t* read = nullptr) {
    if (width <= 0 || height <= 0) return 0;
    std::string_view view = file.View(address, static_cast<size_t>(Max09Size(width, height)));
    const auto* d = reinterpret_cast<const uint8_t*>(view.data());
    const size_t n = view.size();
    size_t pos = 2;
    auto finish = [&](int32_t result) {
        if (read) *read = static_cast<int64_t>(std::min(pos, n));
        return result;
    };
    if (n < 2) return finish(0);
    const int palCount = d[1];
    if (palCount == 0 || palCount > 127) return finish(0);
    std::array<uint32_t, 128> palette{};
    for (int i = 0; i < palCount; ++i, pos += 2) {
        if (pos + 1 >= n) return finish(0);
        palette[i] = Rgb565To24(static_cast<uint16_t>(d[pos] | d[pos + 1] << 8));
    }
    palette[palCount] = 0;

    uint32_t colour = 0;
    int64_t remaining = 0;
    bool endless = false;
    int type = 0;
    const int64_t total = static_cast<int64_t>(width) * height;
    for (int64_t p = 0; p < total;) {
        if (remaining == 0 && !endless) {
            if (pos >= n) break;
            uint8_t c = d[pos++];
            type = c >> 6;
            remaining = c & 0x3F;
            endless = remaining == 0;
            if (type == 2) {
                if (pos + 1 >= n) break;
                colour = Rgb565To24(static_cast<uint16_t>(d[pos] | d[pos + 1] << 8));
                pos += 2;
            } else if (type == 3) {
                if (pos >= n) break;
                uint8_t idx = d[pos++];
                if (idx <= palCount) colour = palette[idx];
            }
        }
        if (type >= 2) {
            // A run of one colour: to the end of the picture when endless.
            const int64_t len = endless ? total - p : std::min(remaining, total - p);
            if constexpr (kDraw)
                for (int64_t q = p; q < p + len; ++q)
                    draw(static_cast<int32_t>(q % width), static_cast<int32_t>(q / width), colour);
            p += len;
            if (!endless) remaining -= len;
            continue;
        }
        if (type == 0) {
            if (pos + 1 >= n) break;
            colour = Rgb565To24(static_cast<uint16_t>(d[pos] | d[pos + 1] << 8));
            pos += 2;
        } else {
            if (pos >= n) break;
            uint8_t idx = d[pos++];
            if (idx <= palCount) colour = palette[idx];
        }
        if constexpr (kDraw) draw(static_cast<int32_t>(p % width), static_cast<int32_t>(p / width), colour);
        ++p;
        if (!endless) --remaining;
    }
    return finish(static_cast<int32_t>((pos + 1) & ~static_cast<size_t>(1)));
}

}  // namespace

int32_t Decode09(const BinFile& file, int64_t address, int32_t width, int32_t height, Picture& target) {
    if (!Fits(width, height, target)) return 0;
    return Walk09<true>(file, address, width, height,
                        [&](int32_t x, int32_t y, uint32_t c) { target.At(x, y) = c; });
}

int32_t Measure09(const BinFile& file, int64_t address, int32_t width, int32_t height) {
    return Walk09<false>(file, address, width, height, [](int32_t, int32_t, uint32_t) {});
}

std::optional<int32_t> PictureMeasurer::Measure09(int64_t address, int32_t width, int32_t height) {
    const auto key = std::make_tuple(address, width, height);
    if (auto it = known_.find(key); it != known_.end()) return it->second;
    if (left_ <= 0) return std::nullopt;
    int64_t read = 0;
    const int32_t size = Walk09<false>(file_, address, width, height, [](int32_t, int32_t, uint32_t) {}, &read);
    left_ -= std::max<int64_t>(read, 1);
    known_.emplace(key, size);
    return size;
}

int32_t DecodePicture(int32_t kind, const BinFile& file, int64_t address, int32_t width,
                      int32_t height, Picture& target) {
    switch (kind) {
        case kRaw8: return DecodeRaw8(file, address, width, height, target);
        case kRaw16: return DecodeRaw16(file, address, width, height, target);
        case kWbmp: return DecodeWbmp(file, address, width, height, target);
        case k09: return Decode09(file, address, width, height, target);
        default: return 0;
    }
}

namespace {
uint16_t PixelTo565(uint32_t rrggbb) {
    return Rgb24To565(static_cast<uint8_t>(rrggbb >> 16), static_cast<uint8_t>(rrggbb >> 8),
                      static_cast<uint8_t>(rrggbb));
}
}  // namespace

int32_t EncodeRaw16(const Picture& picture, int32_t width, int32_t height, std::string& out) {
    out.clear();
    if (width <= 0 || height <= 0 || width > picture.Width || height > picture.Height) return 0;
    out.resize(static_cast<size_t>(width) * height * 2);
    size_t i = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint16_t v = PixelTo565(picture.At(x, y));
            out[i++] = static_cast<char>(v & 0xFF);
            out[i++] = static_cast<char>(v >> 8);
        }
    return static_cast<int32_t>(out.size());
}

int32_t Encode09(const Picture& picture, int32_t width, int32_t height, std::string& out,
                 uint32_t newColour, uint32_t oldColour) {
    out.clear();
    if (width <= 0 || height <= 0 || width > picture.Width || height > picture.Height) return 0;
    const size_t n = static_cast<size_t>(width) * height;
    std::vector<uint16_t> px(n);
    size_t k = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t bgr = SwapRedBlue(picture.At(x, y));
            if (newColour != oldColour && bgr == oldColour) bgr = newColour;
            px[k++] = PixelTo565(SwapRedBlue(bgr));
        }

    // Colours in order of first appearance with 16-bit counters, then a
    // stable sort by count, largest first (what a neighbour-swapping bubble
    // sort that swaps only on a strictly smaller left count produces).
    std::vector<uint16_t> colours;
    std::vector<uint16_t> counts;
    std::vector<int32_t> slot(65536, -1);
    for (uint16_t v : px) {
        if (slot[v] < 0) {
            slot[v] = static_cast<int32_t>(colours.size());
            colours.push_back(v);
            counts.push_back(0);
        }
        ++counts[slot[v]];  // wraps at 65,536 like the stored counter
    }
    std::vector<size_t> order(colours.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return counts[a] > counts[b]; });
    std::vector<int32_t> index(65536, -1);  // palette index, -1 = direct colour
    const size_t palSize = std::min<size_t>(colours.size(), 127);
    for (size_t i = 0; i < palSize; ++i) index[colours[order[i]]] = static_cast<int32_t>(i);

    out.reserve(2 + palSize * 2 + n * 3 + 1);
    out += static_cast<char>(0x09);
    out += static_cast<char>(palSize);
    for (size_t i = 0; i < palSize; ++i) {
        uint16_t v = colours[order[i]];
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    }
    auto put565 = [&](uint16_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    };
    auto literal = [&](size_t p, size_t len, bool pal) {
        out += static_cast<char>((pal ? 0x40 : 0x00) + len);
        for (size_t i = p; i < p + len; ++i) {
            if (pal) out += static_cast<char>(index[px[i]]);
            else put565(px[i]);
        }
    };

    size_t p = 0;
    while (p + 1 < n) {
        size_t len = 1;
        while (p + len < n && len < 63 && px[p + len] == px[p]) ++len;
        if (len >= 2) {
            if (index[px[p]] >= 0) {
                out += static_cast<char>(0xC0 + len);
                out += static_cast<char>(index[px[p]]);
            } else {
                out += static_cast<char>(0x80 + len);
                put565(px[p]);
            }
            p += len;
            continue;
        }
        const bool pal = index[px[p]] >= 0;
        size_t q = p + 1;
        while (q < n) {
            if ((index[px[q]] >= 0) != pal || px[q] == px[q - 1] || len == 63) break;
            ++len;
            ++q;
        }
        const uint16_t after = q < n ? px[q] : 0;
        if (px[q - 1] == after && len > 1) --len;
        literal(p, len, pal);
        p += len;
    }
    if (p + 1 == n) literal(p, 1, index[px[p]] >= 0);
    if (out.size() % 2) out += '\0';
    return static_cast<int32_t>(out.size());
}

void ClearPicture(Picture& picture) {
    std::fill(picture.Pixels.begin(), picture.Pixels.end(), kClearColour);
}

const char* KindName(int32_t kind) {
    switch (kind) {
        case kRaw8: return "RAW8";
        case kRaw16: return "RAW16";
        case kWbmp: return "WBMP";
        case k09: return "09";
        default: return "";
    }
}

}  // namespace flashsmith::firmware
