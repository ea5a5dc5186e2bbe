#include "sound/AudioConvert.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/FileUtil.h"
#include "base/Text.h"
#include "sound/SmafCrc.h"

#include "sound/Ffmpeg.h"

namespace flashsmith::sound {
using namespace flashsmith::base;

namespace {

// Valid once an entry point's ffmpeg::Load succeeded.
const ffmpeg::Api& Av() { return **ffmpeg::Load(); }

struct FormatInput {
    AVFormatContext* p = nullptr;
    ~FormatInput() { Av().avformat_close_input(&p); }
};
struct CodecContext {
    AVCodecContext* p = nullptr;
    ~CodecContext() { Av().avcodec_free_context(&p); }
};
struct Packet {
    AVPacket* p = Av().av_packet_alloc();
    ~Packet() { Av().av_packet_free(&p); }
};
struct Frame {
    AVFrame* p = Av().av_frame_alloc();
    ~Frame() { Av().av_frame_free(&p); }
};
struct Resampler {
    SwrContext* p = nullptr;
    ~Resampler() { Av().swr_free(&p); }
};

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    Av().av_strerror(code, text, sizeof text);
    return text;
}

// Mono 16-bit samples at the target rate, at most `limit` of them.
class Collector {
public:
    Collector(int rate, size_t limit) : rate_(rate), limit_(limit) {}

    // Fails when the frame's format cannot be converted.
    Status Add(const AVFrame* f) {
        AVChannelLayout in{};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels <= 0)
            Av().av_channel_layout_default(&in, f->ch_layout.nb_channels);
        else if (Av().av_channel_layout_copy(&in, &f->ch_layout) < 0)
            return Status::Fail("cannot copy the channel layout");
        const bool same = swr_.p && f->format == format_ && f->sample_rate == inRate_ &&
                          Av().av_channel_layout_compare(&in, &layout_) == 0;
        if (!same) {
            // The stream changed its format (or this is the first frame).
            Drain();
            Av().swr_free(&swr_.p);
            Av().av_channel_layout_uninit(&layout_);
            if (in.nb_channels <= 0 || f->sample_rate <= 0 || f->sample_rate > 1000000) {
                Av().av_channel_layout_uninit(&in);
                return Status::Fail("the audio stream has no usable format");
            }
            AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
            int r = Av().swr_alloc_set_opts2(&swr_.p, &mono, AV_SAMPLE_FMT_S16, rate_, &in,
                                        static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
            if (r >= 0) r = Av().swr_init(swr_.p);
            if (r < 0) {
                Av().av_channel_layout_uninit(&in);
                return Status::Fail("cannot resample this audio (" + AvError(r) + ")");
            }
            format_ = f->format;
            inRate_ = f->sample_rate;
            layout_ = in;
        } else {
            Av().av_channel_layout_uninit(&in);
        }
        Convert(const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        return {};
    }

    // Flushes what the resampler still holds.
    void Drain() {
        if (swr_.p) Convert(nullptr, 0);
    }

    ~Collector() { Av().av_channel_layout_uninit(&layout_); }

    std::vector<int16_t> samples;
    bool overLimit = false;

private:
    void Convert(const uint8_t** in, int count) {
        const int room = Av().swr_get_out_samples(swr_.p, count);
        if (room <= 0) return;
        buffer_.resize(static_cast<size_t>(room));
        uint8_t* out = reinterpret_cast<uint8_t*>(buffer_.data());
        const int got = Av().swr_convert(swr_.p, &out, room, in, count);
        if (got <= 0) return;
        const size_t take = std::min<size_t>(static_cast<size_t>(got), limit_ - samples.size());
        samples.insert(samples.end(), buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(take));
        if (take < static_cast<size_t>(got)) overLimit = true;
    }

    int rate_;
    size_t limit_;
    Resampler swr_;
    int format_ = -1;
    int inRate_ = 0;
    AVChannelLayout layout_{};
    std::vector<int16_t> buffer_;
};

Status ReceiveFrames(AVCodecContext* dec, AVFrame* frame, Collector& out) {
    for (;;) {
        const int r = Av().avcodec_receive_frame(dec, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return {};
        if (r < 0) return {};  // a damaged frame is passed over, as players do
        const Status added = out.Add(frame);
        Av().av_frame_unref(frame);
        if (!added || out.overLimit) return added;
    }
}

// Decodes the best audio stream of a local file into mono samples.
Status Decode(const std::string& path, Collector& out) {
    FormatInput in;
    AVDictionary* options = nullptr;
    // Local files only: a name must never reach a network protocol.
    Av().av_dict_set(&options, "protocol_whitelist", "file", 0);
    int r = Av().avformat_open_input(&in.p, ("file:" + path).c_str(), nullptr, &options);
    Av().av_dict_free(&options);
    if (r < 0) return Status::Fail("not an audio file FFmpeg can read (" + AvError(r) + ")");
    if ((r = Av().avformat_find_stream_info(in.p, nullptr)) < 0) {
        return Status::Fail("not an audio file FFmpeg can read (" + AvError(r) + ")");
    }
    const AVCodec* codec = nullptr;
    const int stream = Av().av_find_best_stream(in.p, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) return Status::Fail("holds no audio FFmpeg can decode");
    CodecContext dec;
    dec.p = Av().avcodec_alloc_context3(codec);
    if (!dec.p || Av().avcodec_parameters_to_context(dec.p, in.p->streams[stream]->codecpar) < 0 ||
        (r = Av().avcodec_open2(dec.p, codec, nullptr)) < 0) {
        return Status::Fail("its audio cannot be decoded");
    }
    Packet packet;
    Frame frame;
    while (!out.overLimit && Av().av_read_frame(in.p, packet.p) >= 0) {
        const bool ours = packet.p->stream_index == stream;
        if (ours) Av().avcodec_send_packet(dec.p, packet.p);  // a bad packet is skipped
        Av().av_packet_unref(packet.p);
        if (!ours) continue;
        if (Status s = ReceiveFrames(dec.p, frame.p, out); !s) return s;
    }
    if (!out.overLimit) {
        Av().avcodec_send_packet(dec.p, nullptr);
        if (Status s = ReceiveFrames(dec.p, frame.p, out); !s) return s;
        out.Drain();
    }
    return {};
}

// The muxer writes through this into memory; it seeks back to fill in sizes.
struct MemorySink {
    std::vector<uint8_t> bytes;
    size_t pos = 0;

    static int Write(void* opaque, uint8_t* buf, int size) {
        auto* s = static_cast<MemorySink*>(opaque);
        if (size <= 0) return 0;
        if (s->pos + static_cast<size_t>(size) > s->bytes.size()) s->bytes.resize(s->pos + static_cast<size_t>(size));
        std::memcpy(s->bytes.data() + s->pos, buf, static_cast<size_t>(size));
        s->pos += static_cast<size_t>(size);
        return size;
    }
    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* s = static_cast<MemorySink*>(opaque);
        const int64_t size = static_cast<int64_t>(s->bytes.size());
        int64_t to;
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE: return size;
            case SEEK_SET: to = offset; break;
            case SEEK_CUR: to = static_cast<int64_t>(s->pos) + offset; break;
            case SEEK_END: to = size + offset; break;
            default: return -1;
        }
        if (to < 0) return -1;
        s->pos = static_cast<size_t>(to);
        return to;
    }
};

struct OutputContext {
    AVFormatContext* p = nullptr;
    ~OutputContext() {
        if (!p) return;
        if (p->pb) {
            Av().av_freep(&p->pb->buffer);
            Av().avio_context_free(&p->pb);
        }
        Av().avformat_free_context(p);
    }
};

// Encodes and muxes the samples; the muxer's bytes as written.
Result<std::vector<uint8_t>> EncodeMmf(const std::vector<int16_t>& samples, int rate) {
    const AVCodec* codec = Av().avcodec_find_encoder(AV_CODEC_ID_ADPCM_YAMAHA);
    if (!codec) return Status::Fail("this FFmpeg has no Yamaha ADPCM encoder");
    CodecContext enc;
    enc.p = Av().avcodec_alloc_context3(codec);
    enc.p->sample_fmt = AV_SAMPLE_FMT_S16;
    enc.p->sample_rate = rate;
    enc.p->time_base = AVRational{1, rate};
    enc.p->flags |= AV_CODEC_FLAG_BITEXACT;
    Av().av_channel_layout_default(&enc.p->ch_layout, 1);
    int r = Av().avcodec_open2(enc.p, codec, nullptr);
    if (r < 0) return Status::Fail("the ADPCM encoder refuses the audio (" + AvError(r) + ")");

    OutputContext mux;
    if ((r = Av().avformat_alloc_output_context2(&mux.p, nullptr, "mmf", nullptr)) < 0 || !mux.p) {
        return Status::Fail("this FFmpeg has no SMAF muxer");
    }
    // No version text in the file: the same input always gives the same bytes.
    mux.p->flags |= AVFMT_FLAG_BITEXACT;
    MemorySink sink;
    constexpr int kIoBuffer = 4096;
    auto* ioBuffer = static_cast<uint8_t*>(Av().av_malloc(kIoBuffer));
    mux.p->pb = Av().avio_alloc_context(ioBuffer, kIoBuffer, 1, &sink, nullptr, &MemorySink::Write, &MemorySink::Seek);
    if (!mux.p->pb) {
        Av().av_free(ioBuffer);
        return Status::Fail("out of memory");
    }
    mux.p->pb->seekable = AVIO_SEEKABLE_NORMAL;
    AVStream* stream = Av().avformat_new_stream(mux.p, nullptr);
    if (!stream || Av().avcodec_parameters_from_context(stream->codecpar, enc.p) < 0) {
        return Status::Fail("out of memory");
    }
    stream->time_base = enc.p->time_base;
    if ((r = Av().avformat_write_header(mux.p, nullptr)) < 0) {
        return Status::Fail("the SMAF muxer refuses the audio (" + AvError(r) + ")");
    }

    Packet packet;
    auto drainPackets = [&]() -> bool {
        for (;;) {
            const int got = Av().avcodec_receive_packet(enc.p, packet.p);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
            if (got < 0) return false;
            packet.p->stream_index = stream->index;
            Av().av_packet_rescale_ts(packet.p, enc.p->time_base, stream->time_base);
            const int w = Av().av_write_frame(mux.p, packet.p);
            Av().av_packet_unref(packet.p);
            if (w < 0) return false;
        }
    };
    const int frameSize = enc.p->frame_size > 0 ? enc.p->frame_size : 1024;
    const bool shortLast = codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    Frame frame;
    for (size_t pos = 0; pos < samples.size(); pos += static_cast<size_t>(frameSize)) {
        const size_t count = std::min(samples.size() - pos, static_cast<size_t>(frameSize));
        Av().av_frame_unref(frame.p);
        frame.p->nb_samples = shortLast ? static_cast<int>(count) : frameSize;
        frame.p->format = AV_SAMPLE_FMT_S16;
        frame.p->sample_rate = rate;
        frame.p->pts = static_cast<int64_t>(pos);
        if (Av().av_channel_layout_copy(&frame.p->ch_layout, &enc.p->ch_layout) < 0 || Av().av_frame_get_buffer(frame.p, 0) < 0) {
            return Status::Fail("out of memory");
        }
        // The padding of a full last frame is silence; it is cut off later.
        std::memset(frame.p->data[0], 0, static_cast<size_t>(frame.p->nb_samples) * sizeof(int16_t));
        std::memcpy(frame.p->data[0], samples.data() + pos, count * sizeof(int16_t));
        if (Av().avcodec_send_frame(enc.p, frame.p) < 0 || !drainPackets()) {
            return Status::Fail("the ADPCM encoder failed");
        }
    }
    Av().avcodec_send_frame(enc.p, nullptr);
    if (!drainPackets() || Av().av_write_trailer(mux.p) < 0) return Status::Fail("the SMAF muxer failed");
    Av().avio_flush(mux.p->pb);
    return std::move(sink.bytes);
}

uint32_t U32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

// A duration or gate time of the audio track's sequence: one byte below
// 128, else two.
void PutSequenceNumber(std::vector<uint8_t>& out, uint32_t v) {
    if (v < 128) {
        out.push_back(static_cast<uint8_t>(v));
        return;
    }
    out.push_back(static_cast<uint8_t>(0x80 | ((v - 128) >> 7)));
    out.push_back(static_cast<uint8_t>((v - 128) & 0x7F));
}

// The muxer's file rebuilt around its own contents info and wave data: the
// track's sequence plays the wave once, for as long as it lasts, with a
// time base coarse enough for the gate to fit; the wave loses the
// encoder's padding; the CRC goes at the end.
Result<std::vector<uint8_t>> Finish(const std::vector<uint8_t>& muxed, size_t sampleCount, int rate) {
    auto bad = [] { return Status::Fail("the SMAF muxer wrote an unexpected file"); };
    if (muxed.size() < 8 || std::memcmp(muxed.data(), "MMMD", 4) != 0) return bad();
    const size_t end = std::min(muxed.size(), size_t{8} + U32(muxed.data() + 4));
    std::vector<uint8_t> body;
    std::vector<uint8_t> trackHeader;
    const uint8_t* wave = nullptr;
    size_t waveSize = 0;
    for (size_t at = 8; at + 8 <= end;) {
        const uint8_t* chunk = muxed.data() + at;
        const size_t size = U32(chunk + 4);
        if (size > end - at - 8) return bad();
        if (std::memcmp(chunk, "ATR\0", 4) == 0) {
            if (size < 6) return bad();
            trackHeader.assign(chunk + 8, chunk + 8 + 6);
            for (size_t sub = 6; sub + 8 <= size;) {
                const uint8_t* s = chunk + 8 + sub;
                const size_t subSize = U32(s + 4);
                if (subSize > size - sub - 8) return bad();
                if (std::memcmp(s, "Awa\x01", 4) == 0) {
                    wave = s + 8;
                    waveSize = subSize;
                }
                sub += 8 + subSize;
            }
        } else {
            body.insert(body.end(), chunk, chunk + 8 + size);  // contents info, optional data
        }
        at += 8 + size;
    }
    if (trackHeader.empty() || !wave) return bad();
    waveSize = std::min(waveSize, (sampleCount + 1) / 2);

    // Durations and gates are at most 16511 ticks: choose the finest time
    // base (4, 10, 20, 40 ms) that still spans the wave. Handsets refuse
    // sequences of 20 ms or less, so a very short wave still gets 24 ms.
    const uint64_t ms = std::max<uint64_t>(24, (uint64_t{sampleCount} * 1000 + static_cast<uint64_t>(rate) - 1) /
                                                   static_cast<uint64_t>(rate));
    static constexpr struct { uint8_t code; uint32_t ms; } kBases[] = {{0x02, 4}, {0x10, 10}, {0x11, 20}, {0x12, 40}};
    uint8_t base = 0x13;  // 50 ms
    uint32_t tick = 50;
    for (const auto& b : kBases)
        if ((ms + b.ms - 1) / b.ms <= 16511) {
            base = b.code;
            tick = b.ms;
            break;
        }
    const uint32_t gate = static_cast<uint32_t>(std::min<uint64_t>(16511, (ms + tick - 1) / tick));
    trackHeader[4] = trackHeader[5] = base;

    std::vector<uint8_t> sequence = {0x00, 0x01};  // at once: channel 0 plays wave 1
    PutSequenceNumber(sequence, gate);
    PutSequenceNumber(sequence, gate);  // then wait as long, so the sequence spans the wave
    sequence.insert(sequence.end(), {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00});  // no-op, end of sequence

    std::vector<uint8_t> track = trackHeader;
    PutChunk(track, "Atsq", sequence);
    PutChunk(track, "Awa\x01", std::vector<uint8_t>(wave, wave + waveSize));
    PutChunk(body, "ATR\0", track);

    std::vector<uint8_t> out = {'M', 'M', 'M', 'D'};
    PutU32(out, static_cast<uint32_t>(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
    const uint16_t crc = SmafCrc(out);
    out.push_back(static_cast<uint8_t>(crc >> 8));
    out.push_back(static_cast<uint8_t>(crc & 0xFF));
    return out;
}

}  // namespace

bool ConvertRateSupported(int rate) { return rate == 8000 || rate == 11025 || rate == 22050; }

bool IsConvertibleAudio(const std::string& path) {
    const std::string ext = UpperAscii(ExtensionOf(path));
    if (ext.empty()) return false;
    return std::any_of(std::begin(kConvertibleExtensions), std::end(kConvertibleExtensions),
                       [&](const char* e) { return ext == e; });
}

Result<std::vector<uint8_t>> ConvertToSmaf(const std::string& inputPath, const ConvertOptions& options) {
    auto fail = [&](const std::string& text) { return Status::Fail(inputPath + ": " + text); };
    if (!ConvertRateSupported(options.sampleRate))
        return fail("the rate must be 8000, 11025 or 22050 Hz, not " + std::to_string(options.sampleRate));
    if (auto av = ffmpeg::Load(); !av) return fail(av.Error());
    // FFmpeg's own messages would interleave with ours; its errors come back as codes.
    Av().av_log_set_level(AV_LOG_QUIET);
    const size_t limit = static_cast<size_t>(uint64_t{kMaxConvertMs} * static_cast<uint64_t>(options.sampleRate) / 1000);
    Collector collector(options.sampleRate, limit);
    if (Status s = Decode(inputPath, collector); !s) return fail(s.Error());
    if (collector.overLimit) return fail("longer than " + std::to_string(kMaxConvertMs / 60000) + " minutes");
    if (collector.samples.empty()) return fail("holds no audio samples");

    const auto muxed = EncodeMmf(collector.samples, options.sampleRate);
    if (!muxed) return fail(muxed.Error());
    auto smaf = Finish(*muxed, collector.samples.size(), options.sampleRate);
    if (!smaf) return fail(smaf.Error());
    return smaf;
}

Result<std::vector<uint8_t>> ConvertForReplacement(const std::string& inputPath, int sampleRate) {
    ConvertOptions options;
    if (sampleRate) options.sampleRate = sampleRate;
    return ConvertToSmaf(inputPath, options);
}

}  // namespace flashsmith::sound
