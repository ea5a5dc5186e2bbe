// A deterministic synthetic firmware image with its description file, for
// the tests, the benchmarks and a first look at the editor.
#pragma once

#include <cstdint>
#include <string>

#include "base/Result.h"

namespace flashsmith::demo {

struct DemoOptions {
    int64_t Size = 0;  // total file size; 0 or less than needed = as small as possible
    int64_t Lead = 0;  // zero bytes before the firmware (every offset moves with it)
};

struct DemoResult {
    std::string ImagePath;    // DIR/demo.bin
    std::string ProfilePath;  // DIR/Firmwares/<version>.sdf
    std::string Version;
};

constexpr const char* kDemoModel = "E250";
constexpr const char* kDemoVersion = "E250XXJE1";

base::Result<DemoResult> WriteDemoFirmware(const std::string& dir, const DemoOptions& options);

}  // namespace flashsmith::demo
