// A small image with every table laid out as real firmware lays it out, so
// that each search can find it, plus the description file written by hand.
#pragma once

#include <string>
#include <vector>

#include "firmware/Images.h"
#include "base/Hex.h"
#include "firmware/TestImage.h"
#include "profilecreator/RegionEstimate.h"

namespace flashsmith::test {

struct ProfileImage {
    ImageBytes img{0x60000};
    std::string sdf;  // the description written by hand
    std::vector<flashsmith::base::AddressRange> regions;
    static constexpr int32_t kPictures = 0x2000, kSounds = 0x3000, kJava = 0x4000;
    static constexpr int32_t kLang1 = 0x5000, kLang2 = 0x5100, kLangCount = 3;

    static std::string Smaf(int n) {
        std::string body(40 + 12 * n, static_cast<char>('a' + n));
        const uint32_t len = static_cast<uint32_t>(body.size());
        return "MMMD" + std::string{char(len >> 24), char(len >> 16), char(len >> 8), char(len)} + body;
    }

    ProfileImage() {
        // The model, decoys of the version key ("X480" itself, "X4"), the version.
        const std::string info = std::string("\0SGH-X480\0Copyright\0X4\0", 23);
        img.Put(0x100, info + "X480XXAB1" + std::string(1, '\0'));
        const std::string versionAddr = flashsmith::base::HexStr(0x100 + static_cast<uint32_t>(info.size()));
        std::string tables;
        // Pictures: an "09" icon, two full-screen RAW16 pictures (the 128 x 160
        // display), a WBMP, a RAW8, and a final "09" picture.
        struct Pic {
            int w, h, kind;
            std::string bytes;
        };
        flashsmith::firmware::Picture icon(16, 16, 0xFF0000);
        for (int i = 0; i < 16; ++i) icon.At(i, i) = 0x00FF00, icon.At(15 - i, i) = 0x0000FF;
        std::string icon09, last09;
        flashsmith::firmware::Encode09(icon, 16, 16, icon09, 0, 0);
        flashsmith::firmware::Picture big(32, 32, 0xFFFFFF);
        for (int i = 0; i < 32; ++i) big.At(i, 31 - i) = 0x000080, big.At(i, 3) = 0x808000;
        flashsmith::firmware::Encode09(big, 32, 32, last09, 0, 0);
        std::vector<Pic> pics = {{16, 16, flashsmith::firmware::k09, icon09},
                                 {128, 160, flashsmith::firmware::kRaw16, std::string(128 * 160 * 2, '\xFF')},
                                 {64, 20, flashsmith::firmware::kWbmp, std::string(64 * 24 / 8, '\0')},
                                 {16, 16, flashsmith::firmware::kRaw8, std::string(256, '\xE3')},
                                 {128, 160, flashsmith::firmware::kRaw16, std::string(128 * 160 * 2, '\xC7')},
                                 {32, 32, flashsmith::firmware::k09, last09}};
        uint32_t at = 0x8000;
        const uint32_t picStart = at;
        std::string images;
        for (size_t i = 0; i < pics.size(); ++i) {
            img.U16(kPictures + 8 + 8 * i, static_cast<uint16_t>(pics[i].w))
                .U16(kPictures + 10 + 8 * i, static_cast<uint16_t>(pics[i].h))
                .U32(kPictures + 12 + 8 * i, at)
                .Put(at, pics[i].bytes);
            images += "[IMAGE" + std::to_string(i + 1) + "]\nType=" + std::to_string(pics[i].kind) + "\n";
            if (i + 1 < pics.size()) at += static_cast<uint32_t>(pics[i].bytes.size());
        }
        // an "09" size counts whole words
        regions.push_back(flashsmith::base::AddressRange::Between(picStart, at + ((pics.back().bytes.size() + 1) & ~size_t(1))));

        // Sounds: 12-byte entries (address, size, marker); the last shares
        // the first one's data.
        at = 0x28000;
        std::vector<std::pair<uint32_t, uint32_t>> sounds;
        for (int n = 0; n < 4; ++n) {
            const std::string s = Smaf(n);
            img.Put(at, s);
            sounds.push_back({at, static_cast<uint32_t>(s.size())});
            at += static_cast<uint32_t>(s.size() + 4);
        }
        sounds.push_back(sounds[0]);
        for (size_t i = 0; i < sounds.size(); ++i)
            img.U32(kSounds + 12 * i, sounds[i].first).U32(kSounds + 12 * i + 4, sounds[i].second).U32(kSounds + 12 * i + 8, 1);
        regions.push_back(flashsmith::base::AddressRange::Between(sounds[0].first, sounds[3].first + sounds[3].second));

        // Java: 136-byte entries; the manager's file comes first.
        const std::vector<std::pair<std::string, uint32_t>> java = {
            {"e:\\S100\\manager_list.dat", 0x2C000}, {"C:\\Settings\\java.cfg", 0x200}, {"E:\\S100\\#Game\\#Game.jar", 0x2C100}};
        for (size_t i = 0; i < java.size(); ++i)
            img.Put(kJava + 136 * i, java[i].first).U32(kJava + 136 * i + 128, 0x90).U32(kJava + 136 * i + 132, java[i].second);
        regions.push_back({0x2C000, 0x100 + 0x90});

        // Two language tables of three languages of 300 strings each, a zero
        // row after each table.
        for (int t = 0; t < 2; ++t)
            for (int k = 0; k < kLangCount; ++k) {
                const int r = t * kLangCount + k;
                const uint32_t pointers = 0x6000 + 0x500 * r, start = 0x40000 + 0x2000 * r;
                img.U32((t ? kLang2 : kLang1) + 12 * k, pointers).U32((t ? kLang2 : kLang1) + 12 * k + 4, 300);
                uint32_t s = start;
                for (int i = 0; i < 300; ++i) {
                    const std::string text = "T" + std::to_string(t) + " lang " + std::to_string(k) + " #" + std::to_string(i);
                    img.Put(s, text + std::string(1, '\0')).U32(pointers + 4 * i, s);
                    s += static_cast<uint32_t>(text.size() + 1);
                }
                regions.push_back(flashsmith::base::AddressRange::Between(start, s));
            }

        sdf = "[FIRMWARE]\nPhoneModel=X480\nVersion=X480XXAB1\nVersionAddr=" + versionAddr + "\n[TABLES]\n"
              "ImageTable=0x00002000\nSoundTable=0x00003000\nSndTableLength=12\nSndTableSizeOfs=4\n"
              "JavaTable=0x00004000\nJavaTableLength=136\nLanguageTable1=0x00005000\nLanguageTable2=0x00005100\n"
              "LanguageCount=3\n[REGIONS]\n";
        for (size_t n = 0; n < regions.size(); ++n)
            sdf += "Region" + std::to_string(n + 1) + "=" + std::to_string(regions[n].Start) + "\nRegion" +
                   std::to_string(n + 1) + "Size=" + std::to_string(regions[n].Length) + "\n";
        sdf += images;
    }
};

}  // namespace flashsmith::test
