#include <cstdio>

#include "sound/SmafCrc.h"
#include "sound/SmafFile.h"

namespace flashsmith::sound {
using namespace flashsmith::base;

namespace {

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

std::string IdText(const uint8_t* id) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        if (id[i] >= 0x20 && id[i] < 0x7F) {
            s += static_cast<char>(id[i]);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", id[i]);
            s += hex;
        }
    }
    return s;
}

struct Chunk {
    const uint8_t* id = nullptr;
    Bytes body;
    size_t offset = 0;  // of the header, in the file
    bool Is(const char* name, int len = 4) const {
        for (int i = 0; i < len; ++i)
            if (id[i] != static_cast<uint8_t>(name[i])) return false;
        return true;
    }
    std::string Name() const { return IdText(id); }
};

// Walks the chunks of one level. A chunk larger than what is left either
// ends the walk with an error (strict) or is clamped to the level and ends
// the walk with a warning.
class ChunkWalker {
public:
    ChunkWalker(Bytes level, size_t fileOffset) : level_(level), base_(fileOffset) {}

    enum class Step { Chunk, End, Overrun };
    Step Next(Chunk& c) {
        if (level_.size() - pos_ < 8) return Step::End;
        c.id = level_.data() + pos_;
        c.offset = base_ + pos_;
        const uint64_t size = Be32(level_.data() + pos_ + 4);
        const size_t left = level_.size() - pos_ - 8;
        if (size > left) {
            overrunSize_ = size;
            c.body = level_.subspan(pos_ + 8, left);
            pos_ = level_.size();
            return Step::Overrun;
        }
        c.body = level_.subspan(pos_ + 8, static_cast<size_t>(size));
        pos_ += 8 + static_cast<size_t>(size);
        return Step::Chunk;
    }
    size_t Left() const { return level_.size() - pos_; }
    uint64_t OverrunSize() const { return overrunSize_; }

private:
    Bytes level_;
    size_t base_;
    size_t pos_ = 0;
    uint64_t overrunSize_ = 0;
};

std::string OverrunText(const Chunk& c, uint64_t declared) {
    return "chunk \"" + c.Name() + "\" at offset " + std::to_string(c.offset) + " declares " +
           std::to_string(declared) + " bytes but only " + std::to_string(c.body.size()) + " remain";
}

// Option list "TT:value,TT:value," of the contents info: "\," is a comma,
// "\\" a backslash, a lone backslash is dropped. Values stay bytes.
void ReadOptionText(Bytes text, SmafFile& out) {
    size_t i = 0;
    while (i + 3 <= text.size()) {
        const char t0 = static_cast<char>(text[i]), t1 = static_cast<char>(text[i + 1]);
        if (text[i + 2] != ':') break;
        i += 3;
        std::string value;
        while (i < text.size() && text[i] != ',') {
            if (text[i] == '\\') {
                ++i;
                if (i < text.size() && (text[i] == ',' || text[i] == '\\')) value += static_cast<char>(text[i++]);
                continue;
            }
            value += static_cast<char>(text[i++]);
        }
        ++i;  // the comma
        std::string* field = nullptr;
        if (t0 == 'S' && t1 == 'T') field = &out.title;
        else if (t0 == 'A' && t1 == 'N') field = &out.artist;
        else if (t0 == 'C' && t1 == 'R') field = &out.copyright;
        if (field && field->empty()) *field = value;
    }
}

// "Dch" + code: items tag[2] u16 length data.
void ReadDataChunk(Bytes body, SmafFile& out) {
    size_t i = 0;
    while (i + 4 <= body.size()) {
        const char t0 = static_cast<char>(body[i]), t1 = static_cast<char>(body[i + 1]);
        const size_t len = (size_t{body[i + 2]} << 8) | body[i + 3];
        i += 4;
        if (len > body.size() - i) break;
        const std::string value(reinterpret_cast<const char*>(body.data() + i), len);
        i += len;
        std::string* field = nullptr;
        if (t0 == 'S' && t1 == 'T') field = &out.title;
        else if (t0 == 'A' && t1 == 'N') field = &out.artist;
        else if (t0 == 'C' && t1 == 'R') field = &out.copyright;
        if (field && field->empty()) *field = value;
    }
}

void ReadOptionalData(Bytes body, size_t offset, SmafFile& out) {
    ChunkWalker w(body, offset);
    Chunk c;
    while (w.Next(c) == ChunkWalker::Step::Chunk)
        if (c.Is("Dch", 3)) ReadDataChunk(c.body, out);
}

int BaseBits(int code) { return code <= 3 ? 4 * (code + 1) : 0; }

WaveCoding AudioCoding(int format) {
    switch (format) {
        case 0: return WaveCoding::SignedPcm;
        case 1: return WaveCoding::Adpcm;
        default: return WaveCoding::Unsupported;
    }
}

// Exclusive records of a setup chunk: Handy Phone "FF F0 len data" with a
// one-byte length, Mobile Standard "[FF] F0 len(VLQ) data". The length counts
// the closing F7, which the stored record leaves out.
void ReadSetup(Bytes body, bool handyPhone, ScoreTrack& track, std::vector<std::string>& warnings) {
    size_t i = 0;
    while (i < body.size()) {
        if (body[i] == 0xFF) {
            ++i;
            continue;
        }
        if (body[i] != 0xF0) {
            warnings.push_back("setup data of track " + std::to_string(track.number) + ": unexpected byte at " +
                               std::to_string(i) + ", rest ignored");
            return;
        }
        ++i;
        uint32_t len = 0;
        if (handyPhone) {
            if (i >= body.size()) break;
            len = body[i++];
        } else {
            int n = 0;
            for (;;) {
                if (i >= body.size() || n == 4) {
                    warnings.push_back("setup data of track " + std::to_string(track.number) + ": bad length");
                    return;
                }
                const uint8_t b = body[i++];
                len = (len << 7) | (b & 0x7F);
                ++n;
                if (!(b & 0x80)) break;
            }
        }
        if (len > body.size() - i) {
            warnings.push_back("setup data of track " + std::to_string(track.number) + ": record runs past its chunk");
            return;
        }
        Bytes rec = body.subspan(i, len);
        i += len;
        if (!rec.empty() && rec.back() == 0xF7) rec = rec.first(rec.size() - 1);
        track.setup.push_back(rec);
    }
}

void ReadStreamWaves(Bytes body, size_t offset, std::vector<WaveData>& waves, std::vector<std::string>& warnings) {
    ChunkWalker w(body, offset);
    Chunk c;
    for (;;) {
        const auto step = w.Next(c);
        if (step == ChunkWalker::Step::End) break;
        if (step == ChunkWalker::Step::Overrun) {
            warnings.push_back(OverrunText(c, w.OverrunSize()) + "; stream waves after it ignored");
            break;
        }
        if (!c.Is("Mwa", 3) || c.body.size() < 3) continue;
        WaveData wave;
        wave.number = c.id[3];
        const uint8_t b0 = c.body[0];
        wave.channels = (b0 & 0x80) ? 2 : 1;
        const int fmt = (b0 >> 4) & 7;
        wave.coding = fmt == 0 ? WaveCoding::SignedPcm
                      : fmt == 1 ? WaveCoding::OffsetPcm
                      : fmt == 2 ? WaveCoding::Adpcm
                                 : WaveCoding::Unsupported;
        wave.bits = BaseBits(b0 & 15);
        wave.rate = (c.body[1] << 8) | c.body[2];
        wave.data = c.body.subspan(3);
        waves.push_back(wave);
    }
}

size_t ChannelStatusSize(int formatType) {
    switch (formatType) {
        case 0: return 2;
        case 1:
        case 2: return 16;
        case 3: return 32;
        default: return 0;
    }
}

void SetTickMs(uint8_t d, uint8_t g, int& tickD, int& tickG, int track, std::vector<std::string>& warnings) {
    tickD = TickMs(d);
    tickG = TickMs(g);
    if (!tickD || !tickG) {
        warnings.push_back("track " + std::to_string(track) + ": reserved time base, 4 ms assumed");
        if (!tickD) tickD = 4;
        if (!tickG) tickG = 4;
    }
}

// Reads one track's sub-chunks; a sub-chunk that overruns the track is
// clamped and ends the track (real files do this).
template <typename OnChunk>
void WalkTrack(Bytes body, size_t offset, const Chunk& track, std::vector<std::string>& warnings, OnChunk&& on) {
    ChunkWalker w(body, offset);
    Chunk c;
    for (;;) {
        const auto step = w.Next(c);
        if (step == ChunkWalker::Step::End) break;
        if (step == ChunkWalker::Step::Overrun)
            warnings.push_back(OverrunText(c, w.OverrunSize()) + " inside track \"" + track.Name() +
                               "\"; cut there");
        on(c);
        if (step == ChunkWalker::Step::Overrun) break;
    }
}

Status ReadScoreTrack(const Chunk& tc, SmafFile& out) {
    ScoreTrack t;
    t.number = tc.id[3];
    Bytes body = tc.body;
    if (body.size() < 4) return Status::Fail("score track \"" + tc.Name() + "\" is too short for its header");
    t.formatType = body[0];
    const size_t statusSize = ChannelStatusSize(t.formatType);
    if (statusSize == 0 || body.size() < 4 + statusSize) {
        out.warnings.push_back("score track \"" + tc.Name() + "\" has an unknown format " +
                               std::to_string(t.formatType) + "; skipped");
        out.tracks.push_back({TrackKind::Other, t.number, 0, t.formatType});
        return {};
    }
    SetTickMs(body[2], body[3], t.tickMsD, t.tickMsG, t.number, out.warnings);
    t.channelStatus.assign(body.begin() + 4, body.begin() + 4 + static_cast<long>(statusSize));
    bool haveSequence = false;
    std::string seqError;
    WalkTrack(body.subspan(4 + statusSize), tc.offset + 8 + 4 + statusSize, tc, out.warnings, [&](const Chunk& c) {
        if (c.Is("Mtsu")) {
            ReadSetup(c.body, t.formatType == 0, t, out.warnings);
        } else if (c.Is("Mtsq")) {
            haveSequence = true;
            if (t.formatType == 1) {
                if (auto decoded = DecodeHuffman(c.body)) t.sequence = std::move(*decoded);
                else seqError = decoded.Error();
            } else {
                t.sequence.assign(c.body.begin(), c.body.end());
            }
        } else if (c.Is("Mtsp")) {
            ReadStreamWaves(c.body, c.offset + 8, t.waves, out.warnings);
        }
    });
    if (!seqError.empty()) return Status::Fail("score track \"" + tc.Name() + "\": " + seqError);
    if (!haveSequence) out.warnings.push_back("score track \"" + tc.Name() + "\" has no sequence data");
    out.tracks.push_back({TrackKind::Score, t.number, 0, t.formatType});
    out.scores.push_back(std::move(t));
    return {};
}

Status ReadAudioTrack(const Chunk& tc, SmafFile& out) {
    AudioTrack t;
    t.number = tc.id[3];
    Bytes body = tc.body;
    if (body.size() < 6) return Status::Fail("audio track \"" + tc.Name() + "\" is too short for its header");
    t.waveType = (body[2] << 8) | body[3];
    SetTickMs(body[4], body[5], t.tickMsD, t.tickMsG, t.number, out.warnings);
    static const int kRates[] = {4000, 8000, 11025, 22050, 44100};
    const int rateCode = (t.waveType >> 8) & 15;
    const int format = (t.waveType >> 12) & 7;
    if (rateCode > 4) out.warnings.push_back("audio track: unknown sampling rate code, 8000 Hz assumed");
    if (AudioCoding(format) == WaveCoding::Unsupported)
        out.warnings.push_back("audio track: wave format " + std::to_string(format) +
                               " (TwinVQ/MP3) is not played");
    bool haveSequence = false;
    WalkTrack(body.subspan(6), tc.offset + 14, tc, out.warnings, [&](const Chunk& c) {
        if (c.Is("Atsq")) {
            haveSequence = true;
            t.sequence.assign(c.body.begin(), c.body.end());
        } else if (c.Is("Awa", 3)) {
            WaveData wave;
            wave.number = c.id[3];
            wave.channels = (t.waveType & 0x8000) ? 2 : 1;
            wave.coding = AudioCoding(format);
            wave.bits = BaseBits((t.waveType >> 4) & 15);
            wave.rate = rateCode <= 4 ? kRates[rateCode] : 8000;
            wave.data = c.body;
            t.waves.push_back(wave);
        }
    });
    if (!haveSequence) out.warnings.push_back("audio track \"" + tc.Name() + "\" has no sequence data");
    out.tracks.push_back({TrackKind::Audio, t.number, 0, t.waveType});
    out.audios.push_back(std::move(t));
    return {};
}

SmafFormat FormatOf(int formatType) {
    switch (formatType) {
        case 0: return SmafFormat::HandyPhoneStandard;
        case 1: return SmafFormat::MobileStandardCompressed;
        case 2: return SmafFormat::MobileStandard;
        default: return SmafFormat::MA7;
    }
}

}  // namespace

int TickMs(uint8_t code) {
    switch (code) {
        case 0x00: return 1;
        case 0x01: return 2;
        case 0x02: return 4;
        case 0x03: return 5;
        case 0x10: return 10;
        case 0x11: return 20;
        case 0x12: return 40;
        case 0x13: return 50;
        default: return 0;
    }
}

Result<std::vector<uint8_t>> DecodeHuffman(Bytes body) {
    if (body.size() < 4) return Status::Fail("compressed sequence too short");
    const uint32_t decodedSize = Be32(body.data());
    Bytes bits = body.subspan(4);
    const uint64_t totalBits = uint64_t{bits.size()} * 8;
    // Every decoded byte takes at least one bit, so a larger size is a lie.
    if (decodedSize > totalBits) {
        return Status::Fail("compressed sequence declares " + std::to_string(decodedSize) + " bytes, more than its " +
                            std::to_string(bits.size()) + " bytes of code can hold");
    }
    uint64_t pos = 0;
    auto bit = [&](int& b) {
        if (pos >= totalBits) return false;
        b = (bits[pos >> 3] >> (7 - (pos & 7))) & 1;
        ++pos;
        return true;
    };
    // The tree, pre-order: 1 = internal node, 0 = leaf with an 8-bit symbol.
    struct Node { int child[2] = {-1, -1}; int symbol = -1; };
    std::vector<Node> nodes;
    nodes.reserve(512);
    std::vector<std::pair<int, int>> open;  // (node, next child slot)
    int b;
    if (!bit(b) || b != 1) return Status::Fail("compressed sequence has no code tree");
    nodes.push_back({});
    open.push_back({0, 0});
    int leaves = 0;
    while (!open.empty()) {
        if (!bit(b)) return Status::Fail("compressed sequence ends inside its code tree");
        const int idx = static_cast<int>(nodes.size());
        auto [parent, slot] = open.back();
        nodes[parent].child[slot] = idx;
        if (slot == 0) open.back().second = 1;
        else open.pop_back();
        nodes.push_back({});
        if (b == 1) {
            if (nodes.size() > 511) return Status::Fail("compressed sequence has an oversized code tree");
            open.push_back({idx, 0});
        } else {
            int sym = 0;
            for (int k = 0; k < 8; ++k) {
                if (!bit(b)) return Status::Fail("compressed sequence ends inside its code tree");
                sym = (sym << 1) | b;
            }
            nodes[idx].symbol = sym;
            if (++leaves > 256) return Status::Fail("compressed sequence has an oversized code tree");
        }
    }
    std::vector<uint8_t> out;
    out.reserve(decodedSize);
    while (out.size() < decodedSize) {
        int n = 0;
        while (nodes[n].symbol < 0) {
            if (!bit(b)) {
                return Status::Fail("compressed sequence ends after " + std::to_string(out.size()) + " of " +
                                    std::to_string(decodedSize) + " bytes");
            }
            n = nodes[n].child[b];
        }
        out.push_back(static_cast<uint8_t>(nodes[n].symbol));
    }
    return out;
}

Result<SmafFile> ParseSmaf(Bytes file) {
    if (file.size() < 8 || !(Chunk{file.data(), {}, 0}.Is("MMMD") || Chunk{file.data(), {}, 0}.Is("MMMG"))) {
        return Status::Fail("not a SMAF file (no MMMD chunk at the start)");
    }
    const bool library = file[3] == 'G';
    const uint64_t size = Be32(file.data() + 4);
    if (size > file.size() - 8) {
        return Status::Fail("truncated file: the file chunk declares " + std::to_string(size) + " bytes but only " +
                            std::to_string(file.size() - 8) + " follow");
    }
    SmafFile out;
    Bytes body = file.subspan(8, static_cast<size_t>(size));
    if (file.size() > 8 + size)
        out.warnings.push_back(std::to_string(file.size() - 8 - size) + " bytes after the file chunk ignored");

    ChunkWalker w(body, 8);
    Chunk c;
    bool sawContents = false;
    for (;;) {
        const auto step = w.Next(c);
        if (step == ChunkWalker::Step::End) break;
        if (step == ChunkWalker::Step::Overrun) {
            // The CRC-less files written by FFmpeg still parse exactly; this
            // is a damaged or cut file.
            if (library) {
                out.warnings.push_back(OverrunText(c, w.OverrunSize()));
                break;
            }
            return Status::Fail(OverrunText(c, w.OverrunSize()));
        }
        if (c.Is("CNTI")) {
            sawContents = true;
            if (c.body.size() >= 2) out.contentsType = c.body[1];
            if (c.body.size() > 5) ReadOptionText(c.body.subspan(5), out);
        } else if (c.Is("OPDA")) {
            ReadOptionalData(c.body, c.offset + 8, out);
        } else if (c.Is("MTR", 3)) {
            if (Status s = ReadScoreTrack(c, out); !s) return s;
        } else if (c.Is("ATR", 3)) {
            if (Status s = ReadAudioTrack(c, out); !s) return s;
        } else if (c.Is("GTR", 3) || c.Is("MSTR")) {
            out.tracks.push_back({TrackKind::Other, c.id[3], 0, c.body.empty() ? 0 : c.body[0]});
        }
    }
    if (!sawContents && !library) out.warnings.push_back("no contents info chunk");

    // Two bytes left after the last chunk are the CRC; none means the writer
    // left it out (FFmpeg does).
    const size_t left = w.Left();
    if (left == 2) {
        const uint16_t stored = static_cast<uint16_t>((body[body.size() - 2] << 8) | body[body.size() - 1]);
        const uint16_t computed = SmafCrc(file.first(8 + body.size() - 2));
        out.crc = stored == computed ? CrcState::Ok : CrcState::Bad;
        if (out.crc == CrcState::Bad) {
            char text[96];
            std::snprintf(text, sizeof text, "CRC mismatch: stored %04X, computed %04X", stored, computed);
            out.warnings.push_back(text);
        }
    } else {
        out.crc = CrcState::Missing;
        if (left != 0) out.warnings.push_back(std::to_string(left) + " stray bytes at the end of the file chunk");
    }

    bool anySequence = false;
    for (const auto& t : out.scores) anySequence |= !t.sequence.empty();
    for (const auto& t : out.audios) anySequence |= !t.sequence.empty();
    if (!out.scores.empty()) out.format = FormatOf(out.scores.front().formatType);
    else if (!out.audios.empty()) out.format = SmafFormat::AudioOnly;
    if (library || (!anySequence && out.audios.empty())) {
        bool anySetup = false;
        for (const auto& t : out.scores) anySetup |= !t.setup.empty();
        if (library || anySetup) {
            out.format = SmafFormat::VoiceLibrary;
        } else if (out.scores.empty()) {
            return Status::Fail("the file holds no score or audio track");
        }
    }
    return out;
}

}  // namespace flashsmith::sound
