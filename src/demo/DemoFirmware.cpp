#include "demo/DemoFirmware.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

#include "demo/DemoSounds.h"
#include "base/FileUtil.h"
#include "firmware/Images.h"
#include "base/Hex.h"
#include "firmware/JavaNames.h"
#include "firmware/Picture.h"

namespace flashsmith::demo {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {

// Offsets inside the firmware, before the lead is added.
constexpr uint32_t kCodeSize = 0x80000;
constexpr uint32_t kInfo = 0x80000;
constexpr uint32_t kPicTable = 0x90000;
constexpr uint32_t kSndTable = 0x91000;
constexpr uint32_t kJavaTable = 0x92000;
constexpr uint32_t kLangTable1 = 0x93000;
constexpr uint32_t kLangTable2 = 0x93100;
constexpr uint32_t kPointers = 0x93200;  // kPointerStride per language, table 1 then table 2
constexpr uint32_t kPointerStride = 0x600;
constexpr uint32_t kPicRegion = 0xA0000, kPicRegionSize = 0x60000;
constexpr uint32_t kSndRegion = 0x100000, kSndRegionSize = 0x20000;
constexpr uint32_t kJavaRegion = 0x120000, kJavaRegionSize = 0x20000;
constexpr uint32_t kLangRegions = 0x140000, kLangRegionStride = 0x2000;
constexpr uint32_t kFirmwareSize = 0x150000;
constexpr int32_t kSndEntry = 16;     // address, size, volume, marker
constexpr int32_t kJavaEntry = 392;  // 384-byte path, size, address
constexpr uint32_t kTransparentRgb = 0x0000FFFF;  // cyan, exact in RGB565

class Image {
public:
    explicit Image(uint32_t size) : bytes_(size, '\0') {}
    void Put(uint32_t at, const std::string& data) { std::memcpy(&bytes_[at], data.data(), data.size()); }
    void U32(uint32_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>(v >> (8 * i));
    }
    void U16(uint32_t at, uint16_t v) {
        bytes_[at] = static_cast<char>(v);
        bytes_[at + 1] = static_cast<char>(v >> 8);
    }
    void Fill(uint32_t at, uint32_t n, char c) { std::memset(&bytes_[at], c, n); }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

// --- drawing -------------------------------------------------------------

uint32_t Rgb(int r, int g, int b) {
    auto c = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

void Disc(Picture& p, double cx, double cy, double r, uint32_t colour) {
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) p.At(x, y) = colour;
}

void Rect(Picture& p, int x0, int y0, int x1, int y1, uint32_t colour) {
    for (int y = std::max(0, y0); y < std::min(p.Height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(p.Width, x1); ++x) p.At(x, y) = colour;
}

void Line(Picture& p, double x0, double y0, double x1, double y1, double width, uint32_t colour) {
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) {
            double px = x + 0.5, py = y + 0.5, dx = x1 - x0, dy = y1 - y0;
            double t = ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy);
            t = t < 0 ? 0 : t > 1 ? 1 : t;
            double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
            if (ex * ex + ey * ey <= width * width / 4) p.At(x, y) = colour;
        }
}

Picture Smiley() {
    Picture p(32, 32, kTransparentRgb);
    Disc(p, 16, 16, 15, Rgb(40, 40, 40));
    Disc(p, 16, 16, 14, Rgb(255, 214, 0));
    Disc(p, 11, 12, 2.5, Rgb(40, 40, 40));
    Disc(p, 21, 12, 2.5, Rgb(40, 40, 40));
    for (int a = 20; a <= 160; a += 4) {
        double r = a * 3.14159265 / 180;
        Disc(p, 16 + 8 * std::cos(r), 17 + 7 * std::sin(r), 1.2, Rgb(40, 40, 40));
    }
    return p;
}

Picture Battery() {
    Picture p(24, 12, Rgb(255, 255, 255));
    Rect(p, 0, 0, 22, 12, Rgb(0, 0, 0));
    Rect(p, 1, 1, 21, 11, Rgb(255, 255, 255));
    Rect(p, 22, 3, 24, 9, Rgb(0, 0, 0));
    for (int i = 0; i < 3; ++i) Rect(p, 3 + 6 * i, 3, 7 + 6 * i, 9, Rgb(0, 160, 0));
    return p;
}

Picture Signal() {
    Picture p(20, 16, Rgb(255, 255, 255));
    for (int i = 0; i < 5; ++i) Rect(p, i * 4, 16 - 3 * (i + 1), i * 4 + 3, 16, Rgb(0, 0, 128 + 25 * i));
    return p;
}

Picture Envelope() {
    Picture p(24, 16, Rgb(250, 250, 235));
    Rect(p, 0, 0, 24, 1, Rgb(90, 60, 20));
    Rect(p, 0, 15, 24, 16, Rgb(90, 60, 20));
    Rect(p, 0, 0, 1, 16, Rgb(90, 60, 20));
    Rect(p, 23, 0, 24, 16, Rgb(90, 60, 20));
    Line(p, 0.5, 0.5, 12, 9, 1.2, Rgb(90, 60, 20));
    Line(p, 23.5, 0.5, 12, 9, 1.2, Rgb(90, 60, 20));
    return p;
}

Picture Clock() {
    Picture p(64, 64, Rgb(255, 255, 255));
    Disc(p, 32, 32, 31, Rgb(30, 30, 90));
    Disc(p, 32, 32, 28, Rgb(245, 245, 255));
    for (int h = 0; h < 12; ++h) {
        double a = h * 3.14159265 / 6;
        Disc(p, 32 + 24 * std::sin(a), 32 - 24 * std::cos(a), h % 3 ? 1.2 : 2.2, Rgb(30, 30, 90));
    }
    Line(p, 32, 32, 32 + 14 * std::sin(10 * 3.14159265 / 6), 32 - 14 * std::cos(10 * 3.14159265 / 6), 3, Rgb(0, 0, 0));
    Line(p, 32, 32, 32 + 21 * std::sin(2 * 3.14159265 / 6), 32 - 21 * std::cos(2 * 3.14159265 / 6), 2, Rgb(0, 0, 0));
    Line(p, 32, 32, 32, 32 + 23, 1, Rgb(220, 0, 0));
    Disc(p, 32, 32, 2.5, Rgb(220, 0, 0));
    return p;
}

Picture Gradient() {
    Picture p(128, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x) {
            double h = x / 128.0 * 6;
            int i = static_cast<int>(h);
            double f = h - i;
            int v = 255 - y * 3, q = static_cast<int>(v * (1 - f)), t = static_cast<int>(v * f);
            static const int map[6][3] = {{0, 2, 3}, {1, 0, 3}, {3, 0, 2}, {3, 1, 0}, {2, 3, 0}, {0, 3, 1}};
            int comp[4] = {v, q, t, 0};
            p.At(x, y) = Rgb(comp[map[i][0]], comp[map[i][1]], comp[map[i][2]]);
        }
    return p;
}

// A landscape: sky, sun, hills and a lake with some grain, so it compresses
// like a photograph.
Picture Landscape(int w, int h, uint32_t seed) {
    Picture p(w, h);
    uint32_t s = seed;
    auto noise = [&] {
        s = s * 1103515245u + 12345u;
        return static_cast<int>((s >> 16) % 13) - 6;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double fy = static_cast<double>(y) / h, fx = static_cast<double>(x) / w;
            double hill = 0.55 + 0.08 * std::sin(fx * 7.0) + 0.05 * std::sin(fx * 17.0 + 1);
            int r, g, b;
            if (fy < hill) {
                r = static_cast<int>(90 + 120 * fy);
                g = static_cast<int>(150 + 80 * fy);
                b = 250;
            } else if (fy < 0.8) {
                r = static_cast<int>(40 + 60 * (fy - hill) * 3);
                g = static_cast<int>(130 - 40 * fx);
                b = 40;
            } else {
                r = 30;
                g = static_cast<int>(80 + 60 * std::sin(fx * 20 + fy * 30) * 0.3);
                b = static_cast<int>(170 + 40 * fy);
            }
            double dx = fx - 0.75, dy = fy - 0.2;
            if (dx * dx * w * w + dy * dy * h * h < (w * 0.08) * (w * 0.08)) {
                r = 255;
                g = 230;
                b = 120;
            }
            p.At(x, y) = Rgb(r + noise(), g + noise(), b + noise());
        }
    return p;
}

Picture Checker() {
    Picture p(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) p.At(x, y) = ((x / 4 + y / 4) % 2) ? Rgb(255, 0, 0) : Rgb(255, 255, 255);
    return p;
}

Picture ColourBars() {
    static const uint32_t bars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    Picture p(48, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) p.At(x, y) = bars[x / 6];
    return p;
}

Picture Heart() {
    Picture p(32, 24, Rgb(255, 255, 255));
    Disc(p, 10, 9, 7, Rgb(220, 20, 60));
    Disc(p, 22, 9, 7, Rgb(220, 20, 60));
    for (int y = 9; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            if (std::abs(x + 0.5 - 16) < (23 - y) * 0.95) p.At(x, y) = Rgb(220, 20, 60);
    return p;
}

// The full-screen picture shown while the phone starts: flat bands and
// shapes, which "09" stores in runs.
Picture StartScreen(int w, int h) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y) Rect(p, 0, y, w, y + 1, Rgb(10, 20 + y / 4, 60 + y / 3));
    Disc(p, w / 2.0, h * 0.4, w * 0.3, Rgb(250, 250, 250));
    Disc(p, w / 2.0, h * 0.4, w * 0.26, Rgb(230, 110, 20));
    Rect(p, w / 2 - 6, static_cast<int>(h * 0.4) - 30, w / 2 + 6, static_cast<int>(h * 0.4) + 30, Rgb(250, 250, 250));
    Rect(p, w / 2 - 30, static_cast<int>(h * 0.4) - 6, w / 2 + 30, static_cast<int>(h * 0.4) + 6, Rgb(250, 250, 250));
    Rect(p, w / 4, h - 30, w * 3 / 4, h - 24, Rgb(120, 140, 200));
    Rect(p, w / 4, h - 30, w / 2, h - 24, Rgb(250, 250, 250));
    return p;
}

std::string EncodeRaw8(const Picture& p) {
    std::string out;
    for (uint32_t c : p.Pixels) {
        int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
        out += static_cast<char>((r >> 5) << 5 | (g >> 5) << 2 | (b >> 6));
    }
    return out;
}

// One bit per pixel in bands of eight rows, set = black.
std::string EncodeWbmpBands(int w, int h, const std::function<bool(int, int)>& black) {
    std::string out;
    for (int band = 0; band < (h + 7) / 8; ++band)
        for (int x = 0; x < w; ++x) {
            int byte = 0;
            for (int k = 0; k < 8; ++k)
                if (band * 8 + k < h && black(x, band * 8 + k)) byte |= 1 << k;
            out += static_cast<char>(byte);
        }
    return out;
}

// --- Java ------------------------------------------------------------------

Result<std::string> MakeJar(const std::string& dir) {
    static const char kCannot[] = "cannot create the demo JAR";
    std::string path = JoinPath(dir, ".demo-jar.tmp");
    std::remove(path.c_str());
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) return Status::Fail(kCannot);
    static const std::string manifest =
        "Manifest-Version: 1.0\r\nMIDlet-Name: Snake\r\nMIDlet-Vendor: Flashsmith\r\n"
        "MIDlet-Version: 1.0\r\nMIDlet-1: Snake,/icon.png,Snake\r\n"
        "MicroEdition-Profile: MIDP-2.0\r\nMicroEdition-Configuration: CLDC-1.1\r\n";
    static const std::string classFile = std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x2E", 8) + std::string(64, '\x01');
    zip_source_t* m = zip_source_buffer(z, manifest.data(), manifest.size(), 0);
    zip_source_t* c = zip_source_buffer(z, classFile.data(), classFile.size(), 0);
    bool ok = m && zip_file_add(z, "META-INF/MANIFEST.MF", m, ZIP_FL_ENC_UTF_8) >= 0;
    ok = ok && c && zip_file_add(z, "Snake.class", c, ZIP_FL_ENC_UTF_8) >= 0;
    // A successful close frees the archive; only a failed one leaves it to discard.
    if (zip_close(z) != 0) {
        zip_discard(z);
        ok = false;
    }
    std::string jar;
    const Status read = ok ? ReadWholeFile(path, jar) : Status::Fail(kCannot);
    std::remove(path.c_str());
    if (!read) return read;
    return jar;
}

// --- strings ---------------------------------------------------------------

struct Lang {
    std::vector<std::string> texts;
};

}  // namespace

Result<DemoResult> WriteDemoFirmware(const std::string& dir, const DemoOptions& options) {
    ::mkdir(dir.c_str(), 0777);
    const std::string fwDir = JoinPath(dir, "Firmwares");
    ::mkdir(fwDir.c_str(), 0777);
    if (!DirExists(fwDir)) return Status::Fail(fwDir + ": cannot create the folder");
    const uint32_t lead = static_cast<uint32_t>(options.Lead < 0 ? 0 : options.Lead);
    if (options.Lead > 0x40000000 || options.Size > 0x7FFFFFFF)
        return Status::Fail("demo images are limited to 2 GiB");
    const uint32_t total = std::max<uint32_t>(lead + kFirmwareSize, static_cast<uint32_t>(std::max<int64_t>(options.Size, 0)));
    const auto A = [lead](uint32_t at) { return lead + at; };  // file offset of a firmware offset

    Image img(total);
    // The code area: pseudo-random bytes with the top bit set, so it holds
    // no zero byte and no text the identification could trip over.
    uint32_t seed = 0x2545F491;
    for (uint32_t i = 0; i < kCodeSize; ++i) {
        seed = seed * 1664525u + 1013904223u;
        img.Bytes()[A(i)] = static_cast<char>((seed >> 24) | 0x80);
    }
    img.Fill(A(kFirmwareSize), total - A(kFirmwareSize), '\xFF');
    img.Fill(A(kPicRegion), kPicRegionSize + kSndRegionSize + kJavaRegionSize + 6 * kLangRegionStride, '\xFF');

    // Model marker, then decoys of the version key, then the version.
    std::string info = std::string("\0SGH-", 5) + kDemoModel + std::string("\0", 1) + "Copyright Flashsmith demo" +
                       std::string("\0", 1);
    info += std::string("E250XXJE1234\0", 13);  // eleven characters and more: too long
    info += std::string("E2 50XXJE1\0", 11);    // a blank
    info += std::string("E250_XXJE\0", 10);     // an underscore
    info += std::string("E2XXJE1AAAAAAAAAAAAAAAAAAAAAAAAAAAA", 35);  // no zero within 24 bytes
    info += std::string("\0", 1);
    const uint32_t versionAddr = A(kInfo) + static_cast<uint32_t>(info.size());
    info += std::string(kDemoVersion) + std::string("\0", 1);
    img.Put(A(kInfo), info);
    const uint32_t outsideString = A(kInfo) + 0x800;  // a string in no region
    img.Put(outsideString, std::string("Demo build\0", 11));

    // Pictures.
    struct Pic {
        Picture pic;
        int kind;
        int id;                 // 0 = none
        int tableW = -1, tableH = -1;  // table values when they differ from the picture
        int linkTo = -1;
    };
    std::vector<Pic> pics;
    pics.push_back({Smiley(), k09, 1});
    pics.push_back({Battery(), k09, 2});
    pics.push_back({Signal(), k09, 3});
    pics.push_back({Envelope(), kRaw16, 4});
    pics.push_back({Clock(), k09, 5});
    pics.push_back({Gradient(), kRaw16, 0});
    pics.push_back({Landscape(176, 220, 7), kRaw16, 6});
    pics.push_back({Landscape(96, 72, 11), k09, 0});
    pics.push_back({Checker(), kRaw8, 7});
    pics.push_back({ColourBars(), kRaw8, 0});
    pics.push_back({Picture(64, 20), kWbmp, 8});
    pics.push_back({Picture(16, 16), kWbmp, 0});
    pics.push_back({Picture(), k09, 9, -1, -1, 0});
    pics.push_back({Heart(), k09, 0, 10, 10});
    pics.push_back({StartScreen(176, 220), k09, 10});

    // The table's header is a zero word and the number of entries: the
    // profile creator walks back from the full-screen entries to that zero.
    img.U32(A(kPicTable), 0);
    img.U32(A(kPicTable) + 4, static_cast<uint32_t>(pics.size()));
    std::vector<std::string> encoded(pics.size());
    std::string sdfImages;
    for (size_t i = 0; i < pics.size(); ++i) {
        Pic& p = pics[i];
        std::string& bytes = encoded[i];
        int w = p.pic.Width, h = p.pic.Height;
        if (p.linkTo >= 0) {
            w = pics[p.linkTo].pic.Width;
            h = pics[p.linkTo].pic.Height;
        } else if (p.kind == k09) {
            Encode09(p.pic, w, h, bytes, 0, 0);
        } else if (p.kind == kRaw16) {
            EncodeRaw16(p.pic, w, h, bytes);
        } else if (p.kind == kRaw8) {
            bytes = EncodeRaw8(p.pic);
        } else if (i == 10) {  // "F" and "S" in block letters
            bytes = EncodeWbmpBands(w, h, [](int x, int y) {
                bool f = (x >= 6 && x < 10 && y >= 3 && y < 17) || (x >= 6 && x < 22 && y >= 3 && y < 6) ||
                         (x >= 6 && x < 18 && y >= 9 && y < 12);
                bool s = (x >= 30 && x < 46 && ((y >= 3 && y < 6) || (y >= 9 && y < 12) || (y >= 14 && y < 17))) ||
                         (x >= 30 && x < 33 && y >= 3 && y < 12) || (x >= 43 && x < 46 && y >= 9 && y < 17);
                return f || s || x == 0 || y == 0 || x == 63 || y == 19;
            });
        } else {  // an arrow pointing right
            bytes = EncodeWbmpBands(w, h, [](int x, int y) {
                return (y >= 6 && y < 10 && x >= 1 && x < 10) || (x >= 9 && std::abs(y - 7.5) <= 15 - x);
            });
        }
        const uint32_t e = A(kPicTable) + 8 + 8 * static_cast<uint32_t>(i);
        img.U16(e, static_cast<uint16_t>(p.tableW >= 0 ? p.tableW : w));
        img.U16(e + 2, static_cast<uint16_t>(p.tableH >= 0 ? p.tableH : h));
        // The description names every format but "09", which is the default.
        std::string section;
        if (p.kind != k09) section += "Type=" + std::to_string(p.kind) + "\r\n";
        if (p.id) section += "ID=" + std::to_string(p.id) + "\r\n";
        if (p.tableW >= 0) section += "Width=" + std::to_string(w) + "\r\nHeight=" + std::to_string(h) + "\r\n";
        if (!section.empty()) sdfImages += "\r\n[IMAGE" + std::to_string(i + 1) + "]\r\n" + section;
    }
    // The data lie in table order, except that a picture whose data another
    // entry shares lies where that entry would have its own: the profile
    // creator sizes a picture by the distance to the next entry's data.
    std::vector<uint32_t> addresses(pics.size());
    std::vector<bool> placed(pics.size());
    uint32_t data = A(kPicRegion);
    auto place = [&](size_t i) {
        addresses[i] = data;
        placed[i] = true;
        img.Put(data, encoded[i]);
        data += static_cast<uint32_t>((encoded[i].size() + 3) & ~size_t(3));
    };
    for (size_t i = 0; i < pics.size(); ++i) {
        const bool shared = std::any_of(pics.begin(), pics.end(), [i](const Pic& q) { return q.linkTo == int(i); });
        if (pics[i].linkTo >= 0 && !placed[pics[i].linkTo]) place(pics[i].linkTo);
        if (pics[i].linkTo < 0 && !shared) place(i);
    }
    for (size_t i = 0; i < pics.size(); ++i) {
        const uint32_t address = addresses[pics[i].linkTo >= 0 ? pics[i].linkTo : i];
        img.U32(A(kPicTable) + 12 + 8 * static_cast<uint32_t>(i), address);
    }

    // Sounds: five ring tones and one entry sharing the first one's data.
    uint32_t sdata = A(kSndRegion);
    std::vector<std::pair<uint32_t, uint32_t>> sounds;
    for (const std::string& smaf : DemoRingtones()) {
        img.Put(sdata, smaf);
        sounds.push_back({sdata, static_cast<uint32_t>(smaf.size())});
        sdata += static_cast<uint32_t>((smaf.size() + 3) & ~size_t(3));
    }
    sounds.push_back(sounds[0]);
    for (size_t i = 0; i < sounds.size(); ++i) {
        const uint32_t e = A(kSndTable) + kSndEntry * static_cast<uint32_t>(i);
        img.U32(e, sounds[i].first);
        img.U32(e + 4, sounds[i].second);
        img.U32(e + 8, 0x50);  // volume
        img.U32(e + 12, 1);    // marker: an entry follows the table's rules
    }

    // Java: the application manager's list of suites (the entry the profile
    // creator looks for, so it comes first), a JAD/JAR pair of one suite and
    // an entry outside E:\S100.
    const Result<std::string> made = MakeJar(dir);
    if (!made) return made.ToStatus();
    const std::string& jar = *made;
    const std::string suite = "E:\\S100\\" + EscapeName("Flashsmith_Snake_suite") + "\\";
    const std::string jad = "MIDlet-Name: Snake\r\nMIDlet-Vendor: Flashsmith\r\nMIDlet-Version: 1.0\r\n"
                            "MIDlet-Jar-Size: " + std::to_string(jar.size()) +
                            "\r\nMIDlet-Jar-URL: Snake.jar\r\nMIDlet-1: Snake,/icon.png,Snake\r\n";
    const std::string settings = "volume=5\r\n";
    struct JavaFile {
        std::string path, bytes;
    };
    const std::vector<JavaFile> javaFiles = {
        {"e:\\S100\\manager_suites.dat", "1\r\n" + EscapeName("Flashsmith_Snake_suite") + "\r\n"},
        {suite + EscapeName("Snake.jad"), jad},
        {"C:\\Settings\\java.cfg", settings},
        {suite + EscapeName("Snake.jar"), jar},
    };
    uint32_t jdata = A(kJavaRegion);
    for (size_t i = 0; i < javaFiles.size(); ++i) {
        const uint32_t e = A(kJavaTable) + kJavaEntry * static_cast<uint32_t>(i);
        img.Put(e, javaFiles[i].path);
        img.U32(e + kJavaEntry - 8, static_cast<uint32_t>(javaFiles[i].bytes.size()));
        const bool skipped = javaFiles[i].path[0] == 'C';
        uint32_t at = skipped ? A(kInfo) + 0x900 : jdata;  // the skipped file lies outside the region
        img.U32(e + kJavaEntry - 4, at);
        img.Put(at, javaFiles[i].bytes);
        if (!skipped) jdata += static_cast<uint32_t>((javaFiles[i].bytes.size() + 3) & ~size_t(3));
    }

    // Languages: two tables of three languages; UTF-8 texts.
    std::vector<Lang> table1 = {
        {{"Menu", "Messages", "OK", "Contacts", "Settings", "OK", "Camera", "Alarm", "Calendar", "Back", "Delete", "Options"}},
        {{"Menu", "Messages", "OK", "Contacts", "Paramètres", "OK", "Caméra", "Réveil", "Calendrier", "Retour", "Supprimer", "Options"}},
        {{"Меню", "Сообщения", "OK", "Контакты", "Настройки", "OK", "Камера", "Будильник", "Календарь", "Назад", "Удалить", "Опции"}},
    };
    std::vector<Lang> table2 = {
        {{"Phonebook", "New contact", "Search", "OK", "Groups", "Speed dial"}},
        {{"Répertoire", "Nouveau contact", "Recherche", "OK", "Groupes", "Numérotation rapide"}},
        {{"Телефонная книга", "Новый контакт", "Поиск", "OK", "Группы", "Быстрый набор"}},
    };
    // Real tables hold hundreds of strings per language (the profile creator
    // looks for at least 256 covering more than 2 KB): numbered items fill
    // each language up.
    const auto fill = [](std::vector<Lang>& langs, size_t count, const std::vector<std::array<const char*, 3>>& nouns) {
        for (size_t i = langs[0].texts.size(); i < count; ++i) {
            const auto& noun = nouns[i % nouns.size()];
            for (int k = 0; k < 3; ++k) langs[k].texts.push_back(std::string(noun[k]) + " " + std::to_string(i / nouns.size() + 1));
        }
    };
    fill(table1, 300, {{"Ringtone", "Sonnerie", "Мелодия"}, {"Wallpaper", "Fond d'écran", "Обои"},
                       {"Profile", "Profil", "Профиль"}, {"Game", "Jeu", "Игра"}, {"Note", "Note", "Заметка"},
                       {"Album", "Album", "Альбом"}, {"Timer", "Minuteur", "Таймер"}, {"Task", "Tâche", "Задача"},
                       {"Theme", "Thème", "Тема"}, {"Folder", "Dossier", "Папка"}, {"Shortcut", "Raccourci", "Ярлык"},
                       {"Memo", "Mémo", "Памятка"}});
    fill(table2, 260, {{"Contact", "Contact", "Контакт"}, {"Group", "Groupe", "Группа"}, {"Number", "Numéro", "Номер"},
                       {"Call", "Appel", "Вызов"}, {"Address", "Adresse", "Адрес"}, {"Birthday", "Anniversaire", "День рождения"}});
    std::vector<uint32_t> regionStart(6), regionSize(6);
    // Which strings point elsewhere: (table, language, index) -> address.
    uint32_t lang0Ok = 0;  // "OK" of table 1 language 0, borrowed by others
    for (int t = 0; t < 2; ++t) {
        const auto& langs = t == 0 ? table1 : table2;
        const uint32_t headers = A(t == 0 ? kLangTable1 : kLangTable2);
        for (int k = 0; k < 3; ++k) {
            const int r = t * 3 + k;
            regionStart[r] = A(kLangRegions) + kLangRegionStride * static_cast<uint32_t>(r);
            uint32_t at = regionStart[r];
            const uint32_t pointers = A(kPointers) + kPointerStride * static_cast<uint32_t>(r);
            const auto& texts = langs[k].texts;
            img.U32(headers + 12 * k, pointers);
            img.U32(headers + 12 * k + 4, static_cast<uint32_t>(texts.size()));
            img.U32(headers + 12 * k + 8, 0);
            for (size_t i = 0; i < texts.size(); ++i) {
                uint32_t address;
                if (t == 0 && k == 0 && i == 5) {
                    address = lang0Ok;  // a duplicate: the same address as string 2
                } else if ((k > 0 || t == 1) && texts[i] == "OK") {
                    address = lang0Ok;  // borrowed from language 0 of table 1
                } else if (t == 0 && k == 0 && i == 11) {
                    address = outsideString;  // lies in no region
                } else {
                    address = at;
                    img.Put(at, texts[i] + std::string("\0", 1));
                    at += static_cast<uint32_t>(texts[i].size() + 1);
                    if (t == 0 && k == 0 && i == 2) lang0Ok = address;
                }
                img.U32(pointers + 4 * static_cast<uint32_t>(i), address);
            }
            // Room to spare everywhere but Russian of table 1, which is nearly full.
            regionSize[r] = at - regionStart[r] + (r == 2 ? 3 : 200);
        }
    }

    // The description file.
    std::string sdf = "[FIRMWARE]\r\nPhoneModel=" + std::string(kDemoModel) + "\r\nVersion=" + kDemoVersion +
                      "\r\nVersionAddr=" + HexStr(versionAddr) + "\r\nTransparent=" +
                      HexStr(SwapRedBlue(kTransparentRgb)) + "\r\n\r\n[TABLES]\r\nImageTable=" +
                      HexStr(A(kPicTable)) + "\r\nSoundTable=" + HexStr(A(kSndTable)) +
                      "\r\nJavaTable=" + HexStr(A(kJavaTable)) + "\r\nLanguageTable1=" + HexStr(A(kLangTable1)) +
                      "\r\nLanguageTable2=" + HexStr(A(kLangTable2)) + "\r\nSndTableLength=" +
                      std::to_string(kSndEntry) + "\r\nJavaTableLength=" + std::to_string(kJavaEntry) +
                      "\r\nLanguageCount=3\r\nSndTableSizeOfs=4\r\nSndTableVolOfs=8\r\nStartAddr=" + HexStr(lead) +
                      "\r\n\r\n[REGIONS]\r\n";
    auto region = [&](int n, uint32_t start, uint32_t size) {
        sdf += "Region" + std::to_string(n) + "=" + HexStr(start) + "\r\nRegion" + std::to_string(n) + "Size=" +
               HexStr(size) + "\r\n";
    };
    region(1, A(kPicRegion), kPicRegionSize);
    region(2, A(kSndRegion), kSndRegionSize);
    region(3, A(kJavaRegion), kJavaRegionSize);
    for (int r = 0; r < 6; ++r) region(4 + r, regionStart[r], regionSize[r]);
    sdf += sdfImages;

    DemoResult res;
    res.ImagePath = JoinPath(dir, "demo.bin");
    res.ProfilePath = JoinPath(fwDir, std::string(kDemoVersion) + ".sdf");
    res.Version = kDemoVersion;
    if (Status s = WriteFileAtomic(res.ImagePath, img.Bytes()); !s) return s;
    if (Status s = WriteFileAtomic(res.ProfilePath, sdf); !s) return s;
    return res;
}

}  // namespace flashsmith::demo
