#include <iostream>

#include "cli/SoundConvert.h"
#include "base/FileUtil.h"
#include "sound/AudioConvert.h"

namespace flashsmith::cli {
using namespace flashsmith::base;

const char kSoundConvertUsage[] =
    "usage: flashsmith-cli sound convert IN OUT.mmf [--rate 8000|11025|22050]\n"
    "\n"
    "Converts an audio file FFmpeg reads (WAV, MP3, Ogg, FLAC and more) into the SMAF file\n"
    "OUT.mmf with one Yamaha ADPCM audio track: mixed down to mono, at --rate Hz (default\n"
    "8000), with a valid CRC. Sounds longer than 10 minutes are refused.\n";

int RunSoundConvert(const Args& args) {
    ArgParser p(kSoundConvertUsage);
    p.Option("--rate");
    int code;
    if (!p.Parse(args, 2, 2, &code)) return code;
    sound::ConvertOptions options;
    if (auto rate = p.Get("--rate")) {
        int64_t v = 0;
        if (!ParseCliNumber(*rate, &v) || !sound::ConvertRateSupported(static_cast<int>(v)) || v != static_cast<int>(v))
            return UsageError("--rate must be 8000, 11025 or 22050, not '" + *rate + "'");
        options.sampleRate = static_cast<int>(v);
    }
    auto smaf = sound::ConvertToSmaf(p.Positionals()[0], options);
    if (!smaf) return Fail(smaf.Error());
    const std::string& out = p.Positionals()[1];
    if (Status s = WriteFileAtomic(out, std::string_view(reinterpret_cast<const char*>(smaf->data()), smaf->size())); !s)
        return Fail(s.Error());
    return kExitOk;
}

}  // namespace flashsmith::cli
