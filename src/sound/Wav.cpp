#include "sound/Wav.h"

#include <algorithm>
#include <cstdio>

#include "base/FileUtil.h"

namespace flashsmith::sound {
using namespace flashsmith::base;

namespace {
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

std::vector<uint8_t> Header(const RenderedSound& sound) {
    const uint32_t dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
    const uint32_t rate = static_cast<uint32_t>(sound.sampleRate);
    std::vector<uint8_t> out;
    PutId(out, "RIFF");
    Put32(out, 36 + dataBytes);
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 2);  // stereo
    Put32(out, rate);
    Put32(out, rate * 4);
    Put16(out, 4);
    Put16(out, 16);
    PutId(out, "data");
    Put32(out, dataBytes);
    return out;
}
}  // namespace

Status WriteWav(const std::string& path, const RenderedSound& sound) {
    if (sound.samples.size() > (UINT32_MAX - 36) / 2) return Status::Fail("the sound is too long for a WAV file");
    // Written in pieces, so that memory stays at the size of the samples.
    return WriteFileAtomic(
        path,
        [&](std::FILE* f) {
            const std::vector<uint8_t> header = Header(sound);
            if (std::fwrite(header.data(), 1, header.size(), f) != header.size()) return false;
            std::vector<uint8_t> piece;
            for (size_t i = 0; i < sound.samples.size(); i += 32768) {
                piece.clear();
                const size_t end = std::min(sound.samples.size(), i + 32768);
                for (size_t k = i; k < end; ++k) Put16(piece, static_cast<uint16_t>(sound.samples[k]));
                if (std::fwrite(piece.data(), 1, piece.size(), f) != piece.size()) return false;
            }
            return true;
        });
}

}  // namespace flashsmith::sound
