// A parsed SMAF file with its decoded sequences and voices: what both the
// info reader and the renderer start from.
#pragma once

#include <string>
#include <vector>

#include "sound/SmafFile.h"
#include "sound/SmafSequence.h"
#include "sound/Voices.h"

namespace flashsmith::sound {

struct Song {
    SmafFile file;
    std::vector<Sequence> scoreSeqs;                 // one per score track
    std::vector<std::vector<VoiceEntry>> voices;     // one list per score track
    std::vector<Sequence> audioSeqs;                 // one per audio track
    SmafInfo info;
};

base::Result<Song> LoadSong(Bytes file);

// Samples per channel stored in a wave.
uint64_t WaveFrames(const WaveData& wave);
// How long a wave event plays, in milliseconds: the whole wave, or less when
// its gate stops it clearly earlier. Gates are written in whole ticks and
// clamped at the largest Handy Phone number, so a gate that reaches the end
// of the wave within a tick, or sits at that clamp, plays it to the end.
double WavePlayMs(const SeqEvent& e, const WaveData& wave, int tickMsG);

const WaveData* FindWave(const std::vector<WaveData>& waves, int number);

}  // namespace flashsmith::sound
