#include "firmware/PictureScale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace flashsmith::firmware {
namespace {

struct Tap {
    int32_t Source;
    double Weight;
};

// For each target index along one axis, the source pixels it covers and the
// share of each; the shares of one target add up to 1.
std::vector<std::vector<Tap>> AxisTaps(int32_t from, int32_t to) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int32_t t = 0; t < to; ++t) {
        const double begin = t * step, end = (t + 1) * step;
        for (int32_t s = static_cast<int32_t>(begin); s < from && s < end; ++s) {
            const double cover = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            if (cover > 0) taps[static_cast<size_t>(t)].push_back({s, cover / step});
        }
    }
    return taps;
}

}  // namespace

Picture ScalePicture(const Picture& src, int32_t width, int32_t height) {
    if (src.Width <= 0 || src.Height <= 0 || width <= 0 || height <= 0) return {};
    const auto xTaps = AxisTaps(src.Width, width);
    const auto yTaps = AxisTaps(src.Height, height);
    // Rows first into three channels of doubles, then columns.
    std::vector<double> rows(static_cast<size_t>(width) * src.Height * 3);
    for (int32_t y = 0; y < src.Height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            double acc[3] = {0, 0, 0};
            for (const Tap& t : xTaps[static_cast<size_t>(x)]) {
                const uint32_t c = src.At(t.Source, y);
                acc[0] += ((c >> 16) & 255) * t.Weight;
                acc[1] += ((c >> 8) & 255) * t.Weight;
                acc[2] += (c & 255) * t.Weight;
            }
            std::copy(acc, acc + 3, rows.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 3);
        }
    Picture out(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            double acc[3] = {0, 0, 0};
            for (const Tap& t : yTaps[static_cast<size_t>(y)])
                for (int k = 0; k < 3; ++k)
                    acc[k] += rows[(static_cast<size_t>(t.Source) * width + x) * 3 + k] * t.Weight;
            uint32_t c = 0;
            for (int k = 0; k < 3; ++k)
                c = c << 8 | static_cast<uint32_t>(std::clamp(std::lround(acc[k]), 0L, 255L));
            out.At(x, y) = c;
        }
    return out;
}

Picture FitPicture(const Picture& src, int32_t boxWidth, int32_t boxHeight, uint32_t fill) {
    if (src.Width <= 0 || src.Height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
    int32_t w = src.Width, h = src.Height;
    Picture scaled;
    const Picture* inner = &src;
    if (w > boxWidth || h > boxHeight) {
        const double scale = std::min(static_cast<double>(boxWidth) / w, static_cast<double>(boxHeight) / h);
        w = std::clamp(static_cast<int32_t>(std::lround(w * scale)), 1, boxWidth);
        h = std::clamp(static_cast<int32_t>(std::lround(h * scale)), 1, boxHeight);
        scaled = ScalePicture(src, w, h);
        inner = &scaled;
    }
    Picture out(boxWidth, boxHeight, fill);
    const int32_t left = (boxWidth - w) / 2, top = (boxHeight - h) / 2;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) out.At(left + x, top + y) = inner->At(x, y);
    return out;
}

}  // namespace flashsmith::firmware
