#include "sound/WaveDecode.h"

#include <cstring>
#include <memory>

#include "sound/Ffmpeg.h"

namespace flashsmith::sound {
using namespace flashsmith::base;

namespace {

// Valid once an entry point's ffmpeg::Load succeeded.
const ffmpeg::Api& Av() { return **ffmpeg::Load(); }

struct CodecDeleter {
    void operator()(AVCodecContext* c) const { Av().avcodec_free_context(&c); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { Av().av_packet_free(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { Av().av_frame_free(&f); }
};

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    Av().av_strerror(code, text, sizeof text);
    return text;
}

// Appends a decoded frame as interleaved 16-bit samples.
bool TakeFrame(const AVFrame* frame, int channels, std::vector<int16_t>& out) {
    const int n = frame->nb_samples;
    if (frame->format == AV_SAMPLE_FMT_S16) {
        const auto* s = reinterpret_cast<const int16_t*>(frame->data[0]);
        out.insert(out.end(), s, s + static_cast<size_t>(n) * static_cast<size_t>(channels));
        return true;
    }
    if (frame->format == AV_SAMPLE_FMT_S16P) {
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) out.push_back(reinterpret_cast<const int16_t*>(frame->data[c])[i]);
        return true;
    }
    return false;
}

}  // namespace

Result<std::vector<int16_t>> DecodeYamahaAdpcm(Bytes data, int channels, int sampleRate) {
    std::vector<int16_t> out;
    if (data.empty()) return out;
    if (channels < 1 || channels > 2 || data.size() > (1u << 30)) return Status::Fail("unsupported ADPCM wave");
    if (auto av = ffmpeg::Load(); !av) return av.ToStatus();
    const AVCodec* codec = Av().avcodec_find_decoder(AV_CODEC_ID_ADPCM_YAMAHA);
    if (!codec) return Status::Fail("FFmpeg has no Yamaha ADPCM decoder");
    std::unique_ptr<AVCodecContext, CodecDeleter> ctx(Av().avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, PacketDeleter> packet(Av().av_packet_alloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(Av().av_frame_alloc());
    if (!ctx || !packet || !frame) return Status::Fail("out of memory");
    ctx->sample_rate = sampleRate > 0 ? sampleRate : 8000;
    Av().av_channel_layout_default(&ctx->ch_layout, channels);
    if (int rc = Av().avcodec_open2(ctx.get(), codec, nullptr); rc < 0) {
        return Status::Fail("cannot open the ADPCM decoder: " + AvError(rc));
    }
    if (int rc = Av().av_new_packet(packet.get(), static_cast<int>(data.size())); rc < 0) {
        return Status::Fail("out of memory");
    }
    std::memcpy(packet->data, data.data(), data.size());
    out.reserve(data.size() * 2);
    for (AVPacket* p : {packet.get(), static_cast<AVPacket*>(nullptr)}) {
        if (int rc = Av().avcodec_send_packet(ctx.get(), p); rc < 0 && rc != AVERROR_EOF) {
            return Status::Fail("ADPCM decoding failed: " + AvError(rc));
        }
        for (;;) {
            const int rc = Av().avcodec_receive_frame(ctx.get(), frame.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
            if (rc < 0) return Status::Fail("ADPCM decoding failed: " + AvError(rc));
            if (!TakeFrame(frame.get(), channels, out)) {
                return Status::Fail("unexpected sample format from the ADPCM decoder");
            }
            Av().av_frame_unref(frame.get());
        }
    }
    return out;
}

Result<std::vector<int16_t>> DecodeWave(const WaveData& wave) {
    switch (wave.coding) {
        case WaveCoding::Adpcm:
            if (wave.bits != 4) break;
            return DecodeYamahaAdpcm(wave.data, wave.channels, wave.rate);
        case WaveCoding::SignedPcm:
        case WaveCoding::OffsetPcm: {
            const bool offset = wave.coding == WaveCoding::OffsetPcm;
            std::vector<int16_t> out;
            if (wave.bits == 8) {
                for (uint8_t b : wave.data)
                    out.push_back(static_cast<int16_t>((offset ? b - 128 : static_cast<int8_t>(b)) * 256));
                return out;
            }
            if (wave.bits == 16) {
                // Big-endian like the rest of the format.
                for (size_t i = 0; i + 1 < wave.data.size(); i += 2) {
                    const uint16_t v = static_cast<uint16_t>((wave.data[i] << 8) | wave.data[i + 1]);
                    out.push_back(static_cast<int16_t>(offset ? v ^ 0x8000 : v));
                }
                return out;
            }
            break;
        }
        default: break;
    }
    return Status::Fail("wave " + std::to_string(wave.number) + " is stored in a format that is not played");
}

}  // namespace flashsmith::sound
