#include "sound/Wav.h"

#include <string_view>

#include "firmware/FileUtil.h"

namespace fs::sound {

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
}  // namespace

std::vector<uint8_t> WavBytes(const RenderedSound& sound) {
    const uint32_t dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
    const uint32_t rate = static_cast<uint32_t>(sound.sampleRate);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
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
    for (int16_t s : sound.samples) Put16(out, static_cast<uint16_t>(s));
    return out;
}

bool WriteWav(const std::string& path, const RenderedSound& sound, std::string* error) {
    const std::vector<uint8_t> bytes = WavBytes(sound);
    return WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                           error);
}

}  // namespace fs::sound
