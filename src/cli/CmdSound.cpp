// flashsmith-cli sound: the built-in SMAF engine from the command line.
#include <cstdio>
#include <iostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SoundConvert.h"
#include "cli/SoundOut.h"
#include "base/FileUtil.h"
#include "sound/Smaf.h"

namespace flashsmith::cli {
using namespace flashsmith::base;

namespace {

using namespace flashsmith::sound;

const char kUsage[] =
    "usage: flashsmith-cli sound info FILE... [--json]\n"
    "       flashsmith-cli sound render FILE OUT.wav [--rate N]\n"
    "       flashsmith-cli sound convert IN OUT.mmf [--rate 8000|11025|22050]\n"
    "\n"
    "Reads and plays SMAF ringtones (.mmf) with the built-in engine: FM synthesis for\n"
    "score tracks, ADPCM for audio tracks; no vendor library is needed.\n"
    "info: format, tracks, voices, length, title, artist, copyright and CRC state of\n"
    "  each file (--json: an array of objects with file, ok, error, format, tracks,\n"
    "  voices, lengthMs, title, artist, copyright, crc, warnings). The length is that\n"
    "  of the whole sequence. Exit 1 when any file could not be read.\n"
    "render: writes the whole sequence and the release of its last notes as a 16-bit\n"
    "  stereo WAV; --rate N sets the sampling rate (8000 to 192000, default 48000).\n"
    "  Rendering stops at 10 minutes.\n"
    "convert: any audio file FFmpeg reads into SMAF with one ADPCM audio track\n"
    "  (see 'flashsmith-cli sound convert --help').\n";

std::string Seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u s", ms / 1000, ms % 1000);
    return text;
}

std::string TrackText(const TrackInfo& t) {
    std::string s = std::string(TrackKindName(t.kind)) + " " + std::to_string(t.number);
    if (t.kind != TrackKind::Other)
        s += " (" + std::to_string(t.channels) + (t.channels == 1 ? " channel)" : " channels)");
    return s;
}

void PrintInfo(const std::string& file, const SmafInfo& info) {
    std::cout << file << "\n  format:    " << FormatName(info.format) << "\n  tracks:    ";
    for (size_t i = 0; i < info.tracks.size(); ++i) std::cout << (i ? ", " : "") << TrackText(info.tracks[i]);
    std::cout << "\n  voices:    " << info.voices << "\n  length:    " << Seconds(info.lengthMs)
              << "\n  title:     " << info.title << "\n  artist:    " << info.artist
              << "\n  copyright: " << info.copyright << "\n  CRC:       " << CrcName(info.crc) << "\n";
    for (const auto& w : info.warnings) std::cout << "  warning:   " << w << "\n";
}

Json JsonInfo(const std::string& file, const Result<SmafInfo>& info) {
    Json j{{"file", ByteText(file)}, {"ok", info.Ok()}};
    if (!info) {
        j["error"] = ByteText(info.Error());
        return j;
    }
    j.update(Json(*info));
    return j;
}

int RunInfo(const ArgParser& p) {
    const bool json = p.Has("--json");
    int rc = kExitOk;
    Json all = Json::array();
    for (size_t i = 1; i < p.Positionals().size(); ++i) {
        const std::string& file = p.Positionals()[i];
        std::string bytes;
        const Status read = ReadWholeFile(file, bytes);
        const Result<SmafInfo> info =
            read ? ReadSmafInfo({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}) : Result<SmafInfo>(read);
        if (!info) rc = kExitFailed;
        if (json) all.push_back(JsonInfo(file, info));
        else if (info) PrintInfo(file, *info);
        // The read's message names the file already; the parser's does not.
        else std::cerr << "error: " << (read ? file + ": " : "") << info.Error() << "\n";
    }
    if (json) PrintJson(all);
    return rc;
}

int RunRender(const ArgParser& p) {
    const auto& pos = p.Positionals();
    if (pos.size() != 3) return UsageError("render takes FILE and OUT.wav\n" + p.Usage());
    RenderOptions options;
    if (auto rate = p.Get("--rate")) {
        int64_t v;
        if (!ParseCliNumber(*rate, &v) || v < 8000 || v > 192000)
            return UsageError("--rate must be a number from 8000 to 192000");
        options.sampleRate = static_cast<int>(v);
    }
    std::string bytes;
    // The read's message names the file already; the renderer's does not.
    if (Status s = ReadWholeFile(pos[1], bytes); !s) return Fail(s.Error());
    if (Status s = RenderSmafToWav(bytes, options, pos[2]); !s) return Fail(pos[1] + ": " + s.Error());
    std::cout << pos[2] << "\n";
    return kExitOk;
}

}  // namespace

int RunSound(const Args& args) {
    if (!args.empty() && args[0] == "convert") return RunSoundConvert({args.begin() + 1, args.end()});
    ArgParser p(kUsage);
    p.Flag("--json").Option("--rate");
    int rc;
    if (!p.Parse(args, 1, SIZE_MAX, &rc)) return rc;
    const std::string& action = p.Positionals()[0];
    if (action == "info") {
        if (p.Positionals().size() < 2) return UsageError("name at least one file\n" + p.Usage());
        return RunInfo(p);
    }
    if (action == "render") return RunRender(p);
    return UsageError("unknown sound command " + action + "\n" + p.Usage());
}


}  // namespace flashsmith::cli
