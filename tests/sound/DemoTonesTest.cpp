// The demo image's ringtones: each kind of track reads and sounds as made,
// and their ADPCM is what FFmpeg's encoder writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "AudioTestUtil.h"
#include "Spectrum.h"
#include "demo/DemoSounds.h"
#include "sound/Smaf.h"

namespace {

using namespace flashsmith::sound;

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// The left channel of [fromMs, toMs).
std::vector<double> Left(const RenderedSound& r, uint32_t fromMs, uint32_t toMs) {
    std::vector<double> out;
    const size_t from = size_t{fromMs} * r.sampleRate / 1000, to = size_t{toMs} * r.sampleRate / 1000;
    for (size_t i = from; i < to && 2 * i < r.samples.size(); ++i) out.push_back(r.samples[2 * i]);
    return out;
}

double Peak(const std::vector<double>& x) {
    double m = 0;
    for (double v : x) m = std::max(m, std::abs(v));
    return m;
}

TEST(DemoTones, EveryKindOfTrackReadsAndSounds) {
    const std::vector<std::string> tones = flashsmith::demo::DemoRingtones();
    ASSERT_EQ(tones.size(), 5u);
    const SmafFormat formats[] = {SmafFormat::HandyPhoneStandard, SmafFormat::HandyPhoneStandard,
                                  SmafFormat::MobileStandard, SmafFormat::MobileStandard, SmafFormat::AudioOnly};
    const int voices[] = {1, 2, 1, 0, 0};
    const uint32_t lengths[] = {1800, 1920, 1320, 1440, 400};
    for (size_t i = 0; i < tones.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(tones[i].size(), i == 4 ? 1800u : 400u) << "small";
        const auto r = RenderSmaf(Span(tones[i]), {});
        ASSERT_TRUE(r) << r.Error();
        EXPECT_EQ(r->info.format, formats[i]);
        EXPECT_EQ(r->info.voices, voices[i]);
        EXPECT_EQ(r->info.lengthMs, lengths[i]);
        EXPECT_EQ(r->info.crc, CrcState::Ok);
        EXPECT_EQ(r->info.title, "Ring " + std::to_string(i + 1));
        EXPECT_TRUE(r->warnings.empty()) << r->warnings.front();
        // Sound all along the melody, silence once it and its release are over.
        for (uint32_t t = 0; t + 200 <= lengths[i]; t += 200)
            EXPECT_GT(Peak(Left(*r, t, t + 200)), 1000) << "at " << t << " ms";
        EXPECT_LT(Peak(Left(*r, lengths[i] + 600, lengths[i] + 800)), 100);
    }
    // The chime: C6, then G6.
    const auto chime = RenderSmaf(Span(tones[4]), {});
    ASSERT_TRUE(chime) << chime.Error();
    EXPECT_NEAR(flashsmith::test::Spectrum(Left(*chime, 10, 190), 48000).PeakHz(200, 4000), 1047, 10);
    EXPECT_NEAR(flashsmith::test::Spectrum(Left(*chime, 210, 390), 48000).PeakHz(200, 4000), 1568, 10);
    // The Handy Phone tune opens on C5.
    const auto ring1 = RenderSmaf(Span(tones[0]), {});
    ASSERT_TRUE(ring1) << ring1.Error();
    EXPECT_NEAR(flashsmith::test::Spectrum(Left(*ring1, 20, 180), 48000).PeakHz(200, 4000), 523.25, 5);
}

TEST(DemoTones, AdpcmEncoderWritesWhatFfmpegWrites) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_ADPCM_YAMAHA);
    ASSERT_TRUE(codec);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->sample_fmt = AV_SAMPLE_FMT_S16;
    enc->sample_rate = 8000;
    av_channel_layout_default(&enc->ch_layout, 1);
    ASSERT_GE(avcodec_open2(enc, codec, nullptr), 0);
    // Whole frames of a loud, then a quiet, then a clipping tone.
    const int frame = enc->frame_size;
    std::vector<int16_t> samples;
    for (int i = 0; i < 3 * frame; ++i) {
        const double level = i < frame ? 20000 : i < 2 * frame ? 300 : 60000;
        samples.push_back(static_cast<int16_t>(std::clamp(level * std::sin(i * 0.7), -32768.0, 32767.0)));
    }
    std::string ffmpeg;
    AVFrame* f = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    for (int at = 0; at < 3 * frame; at += frame) {
        f->nb_samples = frame;
        f->format = AV_SAMPLE_FMT_S16;
        av_channel_layout_copy(&f->ch_layout, &enc->ch_layout);
        ASSERT_GE(av_frame_get_buffer(f, 0), 0);
        std::memcpy(f->data[0], samples.data() + at, frame * sizeof(int16_t));
        ASSERT_GE(avcodec_send_frame(enc, f), 0);
        av_frame_unref(f);
        while (avcodec_receive_packet(enc, pkt) >= 0) {
            ffmpeg.append(reinterpret_cast<const char*>(pkt->data), pkt->size);
            av_packet_unref(pkt);
        }
    }
    av_packet_free(&pkt);
    av_frame_free(&f);
    avcodec_free_context(&enc);
    EXPECT_EQ(flashsmith::demo::EncodeYamahaAdpcm(samples), ffmpeg);
}

}  // namespace
