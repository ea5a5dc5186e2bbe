#include <gtest/gtest.h>

#include <random>

#include "sound/Smaf.h"
#include "sound/SmafCrc.h"
#include "sound/SmafFile.h"
#include "sound/SmafFixtures.h"

using namespace flashsmith::sound;
using namespace flashsmith::test;

namespace {

SmafInfo Info(const ByteVec& file) {
    auto info = ReadSmafInfo(file);
    EXPECT_TRUE(info) << info.Error();
    return info ? *info : SmafInfo{};
}

std::string InfoError(const ByteVec& file) {
    auto info = ReadSmafInfo(file);
    EXPECT_FALSE(info);
    return info.Error();
}

// A Handy Phone track 1 holding one sequence.
ByteVec HpsTrack(const ByteVec& seq, uint8_t tb = 0x02) {
    ByteVec body = {0x00, 0x00, tb, tb, 0xA0, 0x00};
    Append(body, Chunk("Mtsq", seq));
    return ChunkN("MTR", 1, body);
}

ByteVec MobileTrack(uint8_t format, const ByteVec& seq, uint8_t number = 5) {
    ByteVec body = {format, 0x00, 0x02, 0x02};
    body.resize(body.size() + (format == 3 ? 32 : 16), 0);
    Append(body, Chunk("Mtsq", seq));
    return ChunkN("MTR", number, body);
}

}  // namespace

TEST(SmafCrcTest, CheckValueResidueAndStoredValues) {
    const std::string check = "123456789";
    EXPECT_EQ(SmafCrc({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xD64E);
    for (const ByteVec& f : {HandyPhoneA4(), MobileTwoNotes(), AudioEightBytes()}) {
        const uint16_t stored = static_cast<uint16_t>((f[f.size() - 2] << 8) | f.back());
        EXPECT_EQ(SmafCrc(std::span(f).first(f.size() - 2)), stored);
        // The register run over data and CRC, before the final complement,
        // always ends at 0x1D0F.
        EXPECT_EQ(SmafCrc(f) ^ 0xFFFF, 0x1D0F);
    }
}

TEST(SmafInfoTest, HandMadeFilesReadAsTheyWereWritten) {
    SmafInfo a = Info(HandyPhoneA4());
    EXPECT_EQ(a.format, SmafFormat::HandyPhoneStandard);
    EXPECT_EQ(a.crc, CrcState::Ok);
    EXPECT_EQ(a.lengthMs, 1000u);
    EXPECT_EQ(a.voices, 1);
    ASSERT_EQ(a.tracks.size(), 1u);
    EXPECT_EQ(a.tracks[0].kind, TrackKind::Score);
    EXPECT_EQ(a.tracks[0].number, 1);
    EXPECT_EQ(a.tracks[0].channels, 1);
    EXPECT_TRUE(a.warnings.empty());

    SmafInfo b = Info(MobileTwoNotes());
    EXPECT_EQ(b.format, SmafFormat::MobileStandard);
    EXPECT_EQ(b.crc, CrcState::Ok);
    EXPECT_EQ(b.lengthMs, 1000u);
    EXPECT_EQ(b.voices, 1);
    ASSERT_EQ(b.tracks.size(), 1u);
    EXPECT_EQ(b.tracks[0].number, 5);
    EXPECT_EQ(b.tracks[0].channels, 2);

    SmafInfo c = Info(AudioEightBytes());
    EXPECT_EQ(c.format, SmafFormat::AudioOnly);
    EXPECT_EQ(c.crc, CrcState::Ok);
    EXPECT_EQ(c.lengthMs, 32u);
    ASSERT_EQ(c.tracks.size(), 1u);
    EXPECT_EQ(c.tracks[0].kind, TrackKind::Audio);
    EXPECT_EQ(FormatName(c.format), std::string("AudioOnly"));
}

TEST(SmafInfoTest, BadOrMissingCrcIsReportedNotRefused) {
    ByteVec f = HandyPhoneA4();
    f.back() ^= 1;
    SmafInfo bad = Info(f);
    EXPECT_EQ(bad.crc, CrcState::Bad);
    EXPECT_EQ(bad.lengthMs, 1000u);
    ASSERT_FALSE(bad.warnings.empty());
    EXPECT_NE(bad.warnings[0].find("CRC"), std::string::npos);

    // Written as FFmpeg does: no CRC, the size ends with the last chunk.
    ByteVec seq = {0x00, 0x29, 0x80, 0x7A, 0x80, 0x7A, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00};
    SmafInfo missing = Info(MakeSmaf({Contents(), HpsTrack(seq)}, false));
    EXPECT_EQ(missing.crc, CrcState::Missing);
    EXPECT_EQ(missing.lengthMs, 1000u);

    // Bytes after the file chunk are ignored.
    ByteVec tail = HandyPhoneA4();
    tail.push_back(0x1D);
    tail.push_back(0x0F);
    EXPECT_EQ(Info(tail).crc, CrcState::Ok);
}

TEST(SmafInfoTest, MetadataFromContentsInfoAndOptionalData) {
    ByteVec seq = {0x00, 0x00, 0x00, 0x00};
    SmafInfo i = Info(MakeSmaf({Contents(0x00, "ST:Hello\\, world,AN:Back\\\\slash,CR:(c)x,"), HpsTrack(seq)}));
    EXPECT_EQ(i.title, "Hello, world");
    EXPECT_EQ(i.artist, "Back\\slash");
    EXPECT_EQ(i.copyright, "(c)x");

    ByteVec dch = {'S', 'T', 0x00, 0x03, 'A', 'b', 'c', 'A', 'N', 0x00, 0x02, 0xC0, 0xFF};
    ByteVec opda = Chunk("OPDA", Chunk(std::string("Dch") + '\x01', dch));
    SmafInfo j = Info(MakeSmaf({Contents(0x32), opda, HpsTrack(seq)}));
    EXPECT_EQ(j.title, "Abc");
    EXPECT_EQ(j.artist, std::string("\xC0\xFF"));
}

TEST(SmafInfoTest, HandyPhoneNumbersGatesAndTimeBases) {
    // Gate FF 7F is the largest two-byte number, 16 511 ticks.
    ByteVec seq = {0x00, 0x29, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Info(MakeSmaf({Contents(), HpsTrack(seq)})).lengthMs, 16511u * 4);
    // 20 ms ticks: 80 7A = 250 ticks of duration before the end.
    ByteVec seq2 = {0x00, 0x29, 0x01, 0x80, 0x7A, 0x00, 0x00, 0x00};
    EXPECT_EQ(Info(MakeSmaf({Contents(), HpsTrack(seq2, 0x11)})).lengthMs, 5000u);
    // A reserved time base is warned about and read as 4 ms.
    SmafInfo r = Info(MakeSmaf({Contents(), HpsTrack(seq2, 0x07)}));
    EXPECT_EQ(r.lengthMs, 1000u);
    EXPECT_FALSE(r.warnings.empty());
}

TEST(SmafInfoTest, CompressedAndMa7Sequences) {
    ByteVec huff = {0x00, 0x00, 0x00, 0x04, 0x80, 0x2F, 0xF1, 0x7A, 0xC0};
    auto decoded = DecodeHuffman(huff);
    ASSERT_TRUE(decoded) << decoded.Error();
    EXPECT_EQ(*decoded, (ByteVec{0x00, 0xFF, 0x2F, 0x00}));
    SmafInfo c = Info(MakeSmaf({Contents(0x32), MobileTrack(1, huff)}));
    EXPECT_EQ(c.format, SmafFormat::MobileStandardCompressed);
    EXPECT_EQ(c.lengthMs, 0u);

    // A declared size the code cannot hold, and a stream cut short.
    ByteVec lie = huff;
    lie[0] = 0x7F;
    EXPECT_NE(InfoError(MakeSmaf({Contents(0x32), MobileTrack(1, lie)})).find("compressed"), std::string::npos);
    ByteVec cut = huff;
    cut[3] = 0x20;  // fits the bound, but the code runs out
    EXPECT_FALSE(ReadSmafInfo(MakeSmaf({Contents(0x32), MobileTrack(1, cut)})));

    // MA-7: 0x90 = bank 1, note with velocity, channel 16+0; 0x80 = bank 1
    // note on channel 16; 0x30 = control change on channel 0.
    ByteVec ma7 = {0x00, 0x30, 0x07, 0x64, 0x00, 0x90, 0x45, 0x7F, 0x81, 0x7A,
                   0x00, 0x80, 0x40, 0x82, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    SmafInfo m = Info(MakeSmaf({Contents(0x38), MobileTrack(3, ma7, 7)}));
    EXPECT_EQ(m.format, SmafFormat::MA7);
    EXPECT_EQ(m.lengthMs, 256u * 4);
    EXPECT_EQ(m.tracks[0].channels, 1);
}

TEST(SmafInfoTest, VoiceLibraryAndUnknownChunks) {
    ByteVec body = {0x00, 0x00, 0x02, 0x02, 0xA0, 0x00};
    ByteVec setup = {0xFF, 0xF0, 0x12, 0x43, 0x03, 0x00, 0x00, 0x05, 0x00, 0x01, 0x14, 0xF0,
                     0xF0, 0xFC, 0x00, 0x14, 0xF0, 0xF0, 0x00, 0x00, 0xF7};
    Append(body, Chunk("Mtsu", setup));
    SmafInfo lib = Info(MakeSmaf({Contents(), ChunkN("MTR", 1, body)}));
    EXPECT_EQ(lib.format, SmafFormat::VoiceLibrary);
    EXPECT_EQ(lib.voices, 1);

    // Junk and unknown chunks between the known ones are passed over.
    ByteVec seq = {0x00, 0x29, 0x80, 0x7A, 0x00, 0x00, 0x00, 0x00};
    SmafInfo j = Info(MakeSmaf({Contents(), Chunk("@@@@", {1, 2, 3}), Chunk("GTR\0", {0, 0}), HpsTrack(seq)}));
    EXPECT_EQ(j.lengthMs, 1000u);
    ASSERT_EQ(j.tracks.size(), 2u);
    EXPECT_EQ(j.tracks[0].kind, TrackKind::Other);
}

TEST(SmafInfoTest, TruncatedOversizedAndGarbageFilesAreErrors) {
    EXPECT_NE(InfoError({}).find("not a SMAF"), std::string::npos);
    EXPECT_NE(InfoError({'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}).find("not a SMAF"), std::string::npos);
    EXPECT_NE(InfoError({'M', 'M', 'M', 'D', 0xFF, 0xFF, 0xFF, 0xFF, 0x43}).find("truncated"), std::string::npos);

    // Cutting a file anywhere gives an error (the declared size no longer fits).
    for (const ByteVec& f : {HandyPhoneA4(), MobileTwoNotes(), AudioEightBytes()})
        for (size_t n = 0; n < f.size(); ++n) InfoError(ByteVec(f.begin(), f.begin() + static_cast<long>(n)));

    // A chunk claiming more than the file chunk holds.
    ByteVec big = MakeSmaf({Contents(), Chunk("MTR\x01", {0, 0, 2, 2, 0, 0})});
    big[21 + 4] = 0x7F;
    EXPECT_NE(InfoError(big).find("declares"), std::string::npos);
    // A file of nothing but contents info holds no sound.
    EXPECT_NE(InfoError(MakeSmaf({Contents()})).find("no score or audio track"), std::string::npos);
}

TEST(SmafInfoTest, DamagedFilesNeverCrash) {
    // Random corruption of valid files: every outcome must be an answer.
    std::mt19937 rng(1234);
    for (const ByteVec& f : {HandyPhoneA4(), MobileTwoNotes(), AudioEightBytes()}) {
        for (int round = 0; round < 2000; ++round) {
            ByteVec g = f;
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < flips; ++k) g[8 + rng() % (g.size() - 8)] = static_cast<uint8_t>(rng());
            auto info = ReadSmafInfo(g);
            if (!info) EXPECT_FALSE(info.Error().empty());
            else EXPECT_LE(info->lengthMs, 0x7F7F7F7Fu * 50u);
        }
    }
}
