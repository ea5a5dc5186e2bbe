// Fitting a picture into a box: downscaling by area averaging (every source
// pixel counts with the share of it that a target pixel covers, so thin
// lines and fine patterns keep their weight instead of aliasing), aspect
// ratio kept, centred.
#pragma once

#include "firmware/Picture.h"

namespace flashsmith::firmware {

// A picture of exactly boxWidth x boxHeight filled with `fill` (0x00RRGGBB),
// with `source` centred in it: scaled down so it fits when it is larger in
// either direction, never scaled up. An empty source or box gives an empty
// picture.
Picture FitPicture(const Picture& source, int32_t boxWidth, int32_t boxHeight, uint32_t fill);

// Area-averaging resize to width x height (both at least 1).
Picture ScalePicture(const Picture& source, int32_t width, int32_t height);

}  // namespace flashsmith::firmware
