// The demo firmware opened in a scratch folder, with a TempDir that does
// not exist yet, and small source files made on the spot.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/CliRun.h"
#include "editing/ResourceList.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"

#include "firmware/Picture.h"
#include "firmware/PictureFile.h"

namespace edittest {

// Entries of the demo image the tests rely on.
constexpr int32_t kSmiley09 = 0;      // "09", 32 x 32
constexpr int32_t kLandscape16 = 6;   // RAW16, 176 x 220
constexpr int32_t kChecker8 = 8;      // RAW8, 16 x 16
constexpr int32_t kArrowWbmp = 11;    // WBMP, 16 x 16
constexpr int32_t kLinkedPic = 12;    // shares picture 0's data
constexpr int32_t kLinkedSound = 5;   // shares sound 0's data
constexpr int32_t kJad = 1, kJar = 2;  // after the manager's list (0)
constexpr int32_t kLang0 = 3;         // language 1 of table 1
constexpr int32_t kOk = 2;            // "OK", stored length 2
constexpr int32_t kDuplicateOk = 5;   // same address as kOk
constexpr int32_t kLang1 = 4;         // its "OK" (index 2) lies in language 0's region

struct Demo {
    flashsmith::test::ScratchDir dir{"edit"};
    flashsmith::demo::DemoResult demo;
    flashsmith::firmware::FirmwareState st;

    Demo() {
        std::string error;
        EXPECT_TRUE(flashsmith::demo::WriteDemoFirmware(dir.Str(), {}).Take(demo, &error)) << error;
        flashsmith::firmware::OpenOptions o;
        o.FirmwaresDir = dir / "Firmwares";
        st.TempDir = dir / "work/Temp/";
        flashsmith::firmware::OpenResult r = flashsmith::firmware::OpenFirmware(st, demo.ImagePath, o, flashsmith::base::NullProgress());
        EXPECT_EQ(r.Status, flashsmith::firmware::OpenStatus::Ok) << r.Error;
    }
    int32_t Used(int32_t region) const { return st.Firmware.Regions[region].Used; }
    std::string Temp(const std::string& name) const { return flashsmith::base::JoinPath(st.TempDir, name); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string path = dir / name;
        EXPECT_TRUE(flashsmith::base::WriteFileAtomic(path, bytes));
        return path;
    }
    std::string Bmp(const std::string& name, const flashsmith::firmware::Picture& pic) const {
        std::string path = dir / name;
        std::string error;
        EXPECT_TRUE(flashsmith::firmware::SaveBmp32(path, pic).Ok(&error)) << error;
        return path;
    }
    flashsmith::editing::ListRow Row(int32_t category, int32_t index) const { return flashsmith::editing::MakeListRow(st, category, index); }
};

// Distinct, exactly representable colours in RGB565 (0x00RRGGBB).
inline flashsmith::firmware::Picture Pattern(int w, int h) {
    flashsmith::firmware::Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.At(x, y) = ((x / 8) % 2 ? 0xFF0000u : 0x0000FFu) | ((y / 8) % 2 ? 0x00FF00u : 0u);
    return p;
}

inline std::string Mmf(size_t n) {
    std::string s = "MMMD";
    while (s.size() < n) s += static_cast<char>('a' + s.size() % 26);
    return s;
}

}  // namespace edittest
