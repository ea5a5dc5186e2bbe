// WAV output of rendered sound: 16-bit PCM, stereo, little-endian.
#pragma once

#include <string>
#include <vector>

#include "base/Result.h"
#include "sound/Smaf.h"

namespace flashsmith::sound {

// Writes a canonical 44-byte-header WAV atomically (a failure leaves any previous file untouched).
base::Status WriteWav(const std::string& path, const RenderedSound& sound);

}  // namespace flashsmith::sound
