// The demo firmware opened into a state of its own, and pending edits made
// the way the editor's operations make them: flags, texts, replacement files
// in TempDir and exact region accounting.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "base/Hex.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "patches/PatchFormat.h"
#include "xml/XmlTestUtil.h"

namespace flashsmith {

inline std::string U16Le(uint32_t w, uint32_t h) {
    std::string s(4, '\0');
    s[0] = static_cast<char>(w), s[1] = static_cast<char>(w >> 8);
    s[2] = static_cast<char>(h), s[3] = static_cast<char>(h >> 8);
    return s;
}

inline uint32_t U32At(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

class DemoFirmware {
public:
    explicit DemoFirmware(const TempDir& dir, int64_t size = 0) : root_(dir.Str()) {
        demo::DemoOptions options;
        options.Size = size;
        std::string error;
        if (!flashsmith::demo::WriteDemoFirmware(dir.Path("demo"), options).Take(demo_, &error)) ADD_FAILURE() << error;
    }
    const demo::DemoResult& Result() const { return demo_; }
    std::string ImageBytes() const { return ReadFile(demo_.ImagePath); }

    // A freshly opened state with its own TempDir under tempName.
    void Open(firmware::FirmwareState& st, const std::string& tempName = "Temp") const {
        st.ProgramDir = root_ + "/";
        st.TempDir = root_ + "/" + tempName + "/";
        std::filesystem::create_directories(st.TempDir);
        firmware::OpenOptions options;
        options.SdfPath = demo_.ProfilePath;
        firmware::OpenResult r = OpenFirmware(st, demo_.ImagePath, options, base::NullProgress());
        ASSERT_EQ(r.Status, firmware::OpenStatus::Ok) << r.Error;
    }

private:
    std::string root_;
    demo::DemoResult demo_;
};

// --- edits as the editor makes them (unreplaced, undeleted entries) ---------

inline void ReplacePicture(firmware::FirmwareState& st, size_t i, uint32_t w, uint32_t h, const std::string& data) {
    firmware::tImgType& img = st.Firmware.Images[i];
    img.TempName = "tmpImage_" + std::to_string(i);
    WriteFile(st.TempDir + img.TempName, U16Le(w, h) + data);
    st.Firmware.Regions[0].Used += static_cast<int32_t>(data.size()) - img.Size;
}

inline void DeletePicture(firmware::FirmwareState& st, size_t i) {
    firmware::tImgType& img = st.Firmware.Images[i];
    if (img.Link < 0) st.Firmware.Regions[0].Used -= img.Size;
    img.Deleted = true;
}

inline void ReplaceSound(firmware::FirmwareState& st, size_t i, const std::string& data) {
    firmware::tSndType& s = st.Firmware.Sounds[i];
    s.TempName = "tmpSound_" + std::to_string(i);
    WriteFile(st.TempDir + s.TempName, data);
    st.Firmware.Regions[1].Used += static_cast<int32_t>(data.size()) - s.Size;
}

inline void DeleteSound(firmware::FirmwareState& st, size_t i) {
    firmware::tSndType& s = st.Firmware.Sounds[i];
    if (s.Link < 0) st.Firmware.Regions[1].Used -= s.Size;
    s.Deleted = true;
    ++st.DeletedSoundCount;
}

inline void ReplaceJava(firmware::FirmwareState& st, size_t i, const std::string& data, const std::string& newPath) {
    firmware::tJavaType& j = st.Firmware.JavaApps[i];
    j.TempName = "tmpJava_" + std::to_string(i);
    j.NewPath = newPath;
    WriteFile(st.TempDir + j.TempName, data);
    st.Firmware.Regions[2].Used += static_cast<int32_t>(data.size()) - j.Size;
}

inline void DeleteJava(firmware::FirmwareState& st, size_t i) {
    firmware::tJavaType& j = st.Firmware.JavaApps[i];
    st.Firmware.Regions[2].Used -= j.Size;
    j.Deleted = true;
}

inline int32_t LangRegion(const firmware::FirmwareState& st, int table, int lang) {
    return 3 + (table == 2 ? st.FirmwareDescription.LanguageCount : 0) + lang;
}

inline firmware::tStringType& StringAt(firmware::FirmwareState& st, int table, int lang, size_t i) {
    return (table == 1 ? st.Firmware.Strings1 : st.Firmware.Strings2)[lang][i];
}

inline void EditString(firmware::FirmwareState& st, int table, int lang, size_t i, const std::string& text) {
    firmware::tStringType& s = StringAt(st, table, lang, i);
    st.Firmware.Regions[LangRegion(st, table, lang)].Used +=
        static_cast<int32_t>(text.size()) - static_cast<int32_t>(s.Text.size());
    s.NewText = text;
}

inline void DeleteString(firmware::FirmwareState& st, int table, int lang, size_t i) {
    firmware::tStringType& s = StringAt(st, table, lang, i);
    st.Firmware.Regions[LangRegion(st, table, lang)].Used -= static_cast<int32_t>(s.Text.size()) + 1;
    s.Deleted = true;
}

// The data of S3 lines (checksums verified) by address; other lines are
// collected in order into *others.
inline std::map<uint32_t, std::string> S3Data(const std::string& text, std::vector<std::string>* others = nullptr) {
    std::map<uint32_t, std::string> data;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string bytes;
        if (line.rfind("S3", 0) != 0 || !base::HexToBytes(line.substr(2), &bytes) || bytes.size() < 6) {
            if (others) others->push_back(line);
            continue;
        }
        unsigned sum = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += static_cast<unsigned char>(bytes[i]);
        EXPECT_EQ(static_cast<unsigned char>(~sum), static_cast<unsigned char>(bytes.back())) << line;
        EXPECT_EQ(static_cast<size_t>(static_cast<unsigned char>(bytes[0])), bytes.size() - 1) << line;
        uint32_t address = 0;
        for (int i = 1; i <= 4; ++i) address = address << 8 | static_cast<unsigned char>(bytes[i]);
        data[address] = bytes.substr(5, bytes.size() - 6);
    }
    return data;
}

// The image with every S3 data line written into it.
inline std::string Overlay(std::string image, const std::string& s3) {
    for (const auto& [address, bytes] : S3Data(s3)) {
        EXPECT_LE(address + bytes.size(), image.size());
        if (address + bytes.size() <= image.size()) image.replace(address, bytes.size(), bytes);
    }
    return image;
}

}  // namespace flashsmith
