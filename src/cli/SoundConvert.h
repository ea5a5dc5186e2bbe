// flashsmith-cli sound convert: audio files into SMAF.
#pragma once

#include "cli/Command.h"

namespace flashsmith::cli {

extern const char kSoundConvertUsage[];
int RunSoundConvert(const Args& args);  // the arguments after "convert"

}  // namespace flashsmith::cli
