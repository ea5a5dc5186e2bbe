// Audio helpers of the sound tests: tones written as WAV files and
// FFmpeg's own reading of SMAF files.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace soundtest {

// A sine of freq Hz, amplitude 0.5, on every channel, as 16-bit PCM.
inline std::vector<int16_t> Sine(double freq, int rate, double seconds, int channels = 1) {
    const size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> s(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s[i * channels + c] = static_cast<int16_t>(16383 * std::sin(2 * M_PI * freq * i / rate));
    return s;
}

inline bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) std::fputc((v >> (8 * i)) & 0xFF, f); };
    auto u16 = [&](uint16_t v) { std::fputc(v & 0xFF, f); std::fputc(v >> 8, f); };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f); u32(36 + data); std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16); u16(1); u16(static_cast<uint16_t>(channels)); u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 2)); u16(static_cast<uint16_t>(channels * 2)); u16(16);
    std::fwrite("data", 1, 4, f); u32(data);
    std::fwrite(samples.data(), 2, samples.size(), f);
    return std::fclose(f) == 0;
}

// What FFmpeg's SMAF demuxer and ADPCM decoder make of a file: its first
// channel, and the rate it names. Empty when FFmpeg cannot read it.
inline std::vector<double> DecodeWithFfmpeg(const std::string& path, int* rate) {
    std::vector<double> out;
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, path.c_str(), nullptr, nullptr) < 0) return out;
    const AVCodec* codec = nullptr;
    int stream = avformat_find_stream_info(in, nullptr) >= 0
                     ? av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0) : -1;
    AVCodecContext* dec = stream >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    if (dec && avcodec_parameters_to_context(dec, in->streams[stream]->codecpar) >= 0 &&
        avcodec_open2(dec, codec, nullptr) >= 0) {
        *rate = dec->sample_rate;
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        auto drain = [&] {
            while (avcodec_receive_frame(dec, frame) >= 0) {
                for (int i = 0; i < frame->nb_samples; ++i)
                    out.push_back(reinterpret_cast<const int16_t*>(frame->data[0])[i * (frame->format == AV_SAMPLE_FMT_S16 ? frame->ch_layout.nb_channels : 1)]);
                av_frame_unref(frame);
            }
        };
        while (av_read_frame(in, pkt) >= 0) {
            if (pkt->stream_index == stream && avcodec_send_packet(dec, pkt) >= 0) drain();
            av_packet_unref(pkt);
        }
        avcodec_send_packet(dec, nullptr);
        drain();
        av_frame_free(&frame);
        av_packet_free(&pkt);
    }
    avcodec_free_context(&dec);
    avformat_close_input(&in);
    return out;
}

}  // namespace soundtest
