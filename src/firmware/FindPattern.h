// The byte-pattern search over an image.
#pragma once

#include <cstdint>
#include <string>

#include "base/Progress.h"
#include "firmware/BinFile.h"

namespace flashsmith::firmware {

// Offset of the first occurrence at or after start, -1 when none.
int64_t FindPattern(const ByteSource& file, int64_t start, const std::string& pattern,
                    base::ProgressSink& progress);

}  // namespace flashsmith::firmware
