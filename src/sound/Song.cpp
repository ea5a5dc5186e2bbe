#include "sound/Song.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace flashsmith::sound {
using namespace flashsmith::base;

uint64_t WaveFrames(const WaveData& wave) {
    const uint64_t bytes = wave.data.size();
    const uint64_t ch = static_cast<uint64_t>(wave.channels);
    switch (wave.coding) {
        case WaveCoding::Adpcm: return bytes * 2 / ch;
        case WaveCoding::SignedPcm:
        case WaveCoding::OffsetPcm: return wave.bits > 8 ? bytes / (2 * ch) : bytes / ch;
        default: return 0;
    }
}

double WavePlayMs(const SeqEvent& e, const WaveData& wave, int tickMsG) {
    if (wave.rate <= 0) return 0;
    const double waveMs = static_cast<double>(WaveFrames(wave)) * 1000.0 / wave.rate;
    const double gate = e.gateMs;
    if (gate + tickMsG >= waveMs || gate >= 16511.0 * tickMsG) return waveMs;
    return gate;
}

const WaveData* FindWave(const std::vector<WaveData>& waves, int number) {
    for (const auto& w : waves)
        if (w.number == number) return &w;
    return nullptr;
}

const char* FormatName(SmafFormat format) {
    switch (format) {
        case SmafFormat::HandyPhoneStandard: return "HandyPhoneStandard";
        case SmafFormat::MobileStandardCompressed: return "MobileStandardCompressed";
        case SmafFormat::MobileStandard: return "MobileStandard";
        case SmafFormat::MA7: return "MA7";
        case SmafFormat::AudioOnly: return "AudioOnly";
        case SmafFormat::VoiceLibrary: return "VoiceLibrary";
    }
    return "";
}

const char* CrcName(CrcState crc) {
    switch (crc) {
        case CrcState::Ok: return "ok";
        case CrcState::Bad: return "bad";
        case CrcState::Missing: return "missing";
    }
    return "";
}

const char* TrackKindName(TrackKind kind) {
    switch (kind) {
        case TrackKind::Score: return "score";
        case TrackKind::Audio: return "audio";
        case TrackKind::Other: return "other";
    }
    return "";
}

namespace {
int UsedChannels(const Sequence& seq) {
    std::set<int> used;
    for (const auto& e : seq.events)
        if (e.type == EventType::Note || e.type == EventType::Wave) used.insert(e.channel);
    return static_cast<int>(used.size());
}
}  // namespace

Result<Song> LoadSong(Bytes file) {
    auto parsed = ParseSmaf(file);
    if (!parsed) return parsed.ToStatus();
    Song song;
    song.file = std::move(*parsed);
    SmafFile& f = song.file;
    std::vector<std::string> warnings = f.warnings;
    uint64_t length = 0;
    size_t score = 0, audio = 0;
    std::vector<TrackInfo> tracks = f.tracks;
    for (auto& t : tracks) {
        if (t.kind == TrackKind::Score) {
            const ScoreTrack& st = f.scores[score++];
            song.scoreSeqs.push_back(DecodeScore(st, warnings));
            song.voices.push_back(ParseVoices(st.setup, st.formatType == 0));
            t.channels = UsedChannels(song.scoreSeqs.back());
            length = std::max(length, song.scoreSeqs.back().lengthMs);
        } else if (t.kind == TrackKind::Audio) {
            const AudioTrack& at = f.audios[audio++];
            song.audioSeqs.push_back(DecodeAudio(at, warnings));
            const Sequence& seq = song.audioSeqs.back();
            t.channels = UsedChannels(seq);
            length = std::max(length, seq.lengthMs);
            for (const auto& e : seq.events) {
                if (e.type != EventType::Wave) continue;
                if (const WaveData* w = FindWave(at.waves, e.a))
                    length = std::max(length, e.ms + static_cast<uint64_t>(std::ceil(WavePlayMs(e, *w, at.tickMsG))));
            }
        }
    }
    SmafInfo& info = song.info;
    info.format = f.format;
    info.tracks = std::move(tracks);
    for (const auto& v : song.voices) info.voices += static_cast<int>(v.size());
    info.lengthMs = static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
    info.title = f.title;
    info.artist = f.artist;
    info.copyright = f.copyright;
    info.crc = f.crc;
    info.warnings = std::move(warnings);
    return song;
}

Result<SmafInfo> ReadSmafInfo(std::span<const uint8_t> file) {
    auto song = LoadSong(file);
    if (!song) return song.ToStatus();
    return std::move(song->info);
}

}  // namespace flashsmith::sound
