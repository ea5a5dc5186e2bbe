// A 32-bit picture: pixels 0x00RRGGBB, rows top to bottom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flashsmith::firmware {

struct Picture {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint32_t> Pixels;

    Picture() = default;
    Picture(int32_t w, int32_t h, uint32_t fill = 0)
        : Width(w < 0 ? 0 : w), Height(h < 0 ? 0 : h),
          Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height), fill) {}

    uint32_t& At(int32_t x, int32_t y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
    uint32_t At(int32_t x, int32_t y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

}  // namespace flashsmith::firmware
