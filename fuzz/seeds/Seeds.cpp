// fuzz_seeds DIR: writes each fuzz target's seed corpus into DIR/<target>/,
// made from the demo image and what the project writes from it (patches,
// S-records, bitmaps, JPEGs), plus a few hand-made answers and bitmaps.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "editing/DeleteRestore.h"
#include "editing/Replace.h"
#include "editing/StringEdit.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"
#include "firmware/PictureFile.h"
#include "patches/CreatePatch.h"
#include "sound/SmafFixtures.h"
#include "srecord/S3Converter.h"
#include "xml/GmXml.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::srecord;
using namespace flashsmith::editing;
using namespace flashsmith::patches;

namespace {

namespace stdfs = std::filesystem;

std::string g_out;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    const std::string dir = JoinPath(g_out, target);
    stdfs::create_directories(dir);
    std::string error;
    if (!WriteFileAtomic(JoinPath(dir, name), bytes).Ok(&error)) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
        std::exit(1);
    }
}

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

// The tables target's input: description text, then (offset, length, bytes)
// chunks of the image.
class WindowInput {
public:
    explicit WindowInput(const std::string& ini) : text_(Le(static_cast<uint32_t>(ini.size()), 2) + ini) {}
    void Add(const BinFile& f, int64_t at, int64_t n) {
        for (; n > 0 && f.Has(at, 1); ) {
            const int64_t piece = std::min<int64_t>({n, 0xFFFF, f.Size() - at});
            text_ += Le(static_cast<uint32_t>(at), 3) + Le(static_cast<uint32_t>(piece), 2);
            text_ += f.View(at, static_cast<size_t>(piece));
            at += piece;
            n -= piece;
        }
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

void TableSeeds(const FirmwareState& st, const std::string& ini) {
    const BinFile& f = *st.FirmwareFile;
    const tFirmwareDescription& d = st.FirmwareDescription;
    const auto& fw = st.Firmware;
    WindowInput all(ini), tablesOnly(ini), strings(ini);
    auto addTables = [&](WindowInput& w) {
        w.Add(f, static_cast<uint32_t>(d.ImageTable), 8 * (fw.Images.size() + 2));
        w.Add(f, static_cast<uint32_t>(d.SoundTable), std::max(d.SndTableLength, 8) * (fw.Sounds.size() + 1));
        w.Add(f, static_cast<uint32_t>(d.JavaTable), d.JavaTableLength * 8);
        w.Add(f, static_cast<uint32_t>(d.LanguageTable1), 12 * d.LanguageCount);
        w.Add(f, static_cast<uint32_t>(d.LanguageTable2), 12 * d.LanguageCount);
    };
    addTables(all);
    addTables(tablesOnly);
    addTables(strings);
    for (const auto* headers : {&fw.LangHeaders1, &fw.LangHeaders2})
        for (const LanguageHeader& h : *headers) {
            all.Add(f, h.TableAddr, 4 * int64_t(h.Count));
            strings.Add(f, h.TableAddr, 4 * int64_t(h.Count));
        }
    for (const auto* tables : {&fw.Strings1, &fw.Strings2})
        for (const pStringType& list : *tables)
            for (const tStringType& s : list) {
                all.Add(f, s.Address, static_cast<int64_t>(s.Text.size()) + 1);
                strings.Add(f, s.Address, static_cast<int64_t>(s.Text.size()) + 1);
            }
    for (const tImgType& img : fw.Images)
        if (img.Link < 0) all.Add(f, static_cast<uint32_t>(img.Address), img.Size);
    Seed("tables", "demo-all", all.Text());
    Seed("tables", "demo-tables", tablesOnly.Text());
    Seed("tables", "demo-strings", strings.Text());
    Seed("description", "demo.sdf", ini);
}

void PictureSeeds(const FirmwareState& st) {
    const BinFile& f = *st.FirmwareFile;
    std::map<int32_t, int> perKind;
    int n = 0;
    for (const tImgType& img : st.Firmware.Images) {
        ++n;
        if (img.Link >= 0 || perKind[img.Kind]++ >= 2 || img.Size > 0x10000) continue;
        Seed("pictures", "demo-" + std::to_string(n),
             std::string(1, static_cast<char>(img.Kind)) + Le(img.Width, 2) + Le(img.Height, 2) +
                 std::string(f.View(static_cast<uint32_t>(img.Address), img.Size)));
        Picture pic(img.Width, img.Height);
        DecodePicture(img.Kind, f, img.Address, img.Width, img.Height, pic);
        std::string bytes;
        if (EncodeBmp32(pic).Take(bytes)) Seed("bmp", "demo-" + std::to_string(n) + ".bmp", bytes);
        if (EncodeJpeg(pic, 90).Take(bytes)) Seed("jpeg", "demo-" + std::to_string(n) + ".jpg", bytes);
    }
}

// A bitmap with a 40-byte header: bpp, compression, palette entries and the
// stored pixel bytes as given.
std::string Bmp(int32_t w, int32_t h, uint16_t bpp, uint32_t compression, uint32_t colours,
                const std::string& pixels) {
    const uint32_t offset = 14 + 40 + 4 * colours;
    std::string s = "BM" + Le(offset + static_cast<uint32_t>(pixels.size()), 4) + Le(0, 4) + Le(offset, 4);
    s += Le(40, 4) + Le(static_cast<uint32_t>(w), 4) + Le(static_cast<uint32_t>(h), 4) + Le(1, 2) + Le(bpp, 2);
    s += Le(compression, 4) + Le(static_cast<uint32_t>(pixels.size()), 4) + Le(2835, 4) + Le(2835, 4);
    s += Le(colours, 4) + Le(0, 4);
    for (uint32_t i = 0; i < colours; ++i) s += Le(i * 0x00404040u + 0x102030u, 4);
    return s + pixels;
}

void HandMadeBitmaps() {
    Seed("bmp", "rle8.bmp", Bmp(8, 4, 8, 1, 4, std::string("\x04\x01\x04\x02\x00\x00\x00\x02\x02\x01\x03\x03\x00\x00\x02\x00\x00\x01", 18)));
    Seed("bmp", "rle4.bmp", Bmp(8, 2, 4, 2, 16, std::string("\x08\x12\x00\x00\x00\x03\x12\x30\x00\x01", 10)));
    Seed("bmp", "pal1-topdown.bmp", Bmp(8, -2, 1, 0, 2, std::string("\xAA\x00\x00\x00\x55\x00\x00\x00", 8)));
    Seed("bmp", "rgb565.bmp", Bmp(2, 2, 16, 0, 0, std::string("\x00\xF8\xE0\x07\x1F\x00\xFF\xFF", 8)));
    Seed("bmp", "rgb24.bmp", Bmp(1, 1, 24, 0, 0, std::string("\x10\x20\x30\x00", 4)));
}

void AnswerSeeds() {
    Seed("at_answer", "model", "AT+CGMM\r\r\nSGH-E250\r\n\r\nOK\r\n");
    Seed("at_answer", "error", "AT+FSCD\r\r\n+CME ERROR:53\r\n");
    Seed("at_answer", "nested", "OOOKKK\r\nOK");
    Seed("at_answer", "number", " 1234 ");
}

void PatchSeeds(FirmwareState& st, const std::string& temp) {
    st.ProgramDir = temp + "/";
    st.TempDir = temp + "/Temp/";
    // One edit of each kind, then a patch of each category.
    Picture pic(8, 8, 0x123456);
    const std::string bmp = temp + "/r.bmp";
    SaveBmp32(bmp, pic);
    ReplaceEntry(st, 0, 0, bmp);
    DeleteEntry(st, 1, 1);
    EditStringUtf8(st, 3, 0, "Menu!");
    int n = 0;
    for (PatchKind kind : {PatchKind::Pictures, PatchKind::Sounds, PatchKind::Languages}) {
        for (bool full : {false, true}) {
            CreatePatchOptions o;
            o.Kind = kind;
            o.Full = full;
            o.Details.Name = "Seed";
            o.Details.Author = "fuzz_seeds";
            flashsmith::xml::TGmXML doc;
            if (BuildPatchDocument(st, o, doc, NullProgress()).Status != CreatePatchStatus::Ok) continue;
            const std::string text = doc.Text();
            if (text.size() > 200000) continue;
            Seed("patch", "demo-" + std::to_string(++n) + ".spf", text);
            Seed("xml", "demo-" + std::to_string(n) + ".xml", text);
        }
    }
}

void SRecordSeeds(const FirmwareState& st) {
    const BinFile& f = *st.FirmwareFile;
    const std::string_view head = f.View(0, 1024);
    S3WriteOptions o;
    S3Output out;
    WriteS3Bytes({reinterpret_cast<const uint8_t*>(head.data()), head.size()}, o, out, NullProgress());
    Seed("srecord", "demo-head.s3", std::string(out.Text()));
    S3WriteOptions gap;
    gap.Start = 0x40000;
    gap.Reserved.push_back(AddressRange::Inclusive(0x40100, 0x40180));
    S3Output out2;
    WriteS3Bytes({reinterpret_cast<const uint8_t*>(head.data()), 512}, gap, out2, NullProgress());
    Seed("srecord", "demo-reserved.s3", std::string(out2.Text()));
    Seed("srecord", "short-lines.s19", "S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\nS5030001FB\nS9030000FC\n");
}

void JarSeeds(const FirmwareState& st) {
    for (const tJavaType& j : st.Firmware.JavaApps) {
        if (j.Path.size() < 4 || j.Path.compare(j.Path.size() - 4, 4, ".jar") != 0) continue;
        Seed("zip", BaseName(j.Path.substr(j.Path.rfind('\\') + 1)),
             std::string(st.FirmwareFile->View(static_cast<uint32_t>(j.Address), static_cast<uint32_t>(j.Size))));
    }
}

// The hand-made ringtones of the sound tests and the demo image's own.
void SmafSeeds(const FirmwareState& st) {
    auto bytes = [](const flashsmith::test::ByteVec& v) { return std::string(v.begin(), v.end()); };
    Seed("smaf", "handy-phone.mmf", bytes(flashsmith::test::HandyPhoneA4()));
    Seed("smaf", "mobile.mmf", bytes(flashsmith::test::MobileTwoNotes()));
    Seed("smaf", "audio.mmf", bytes(flashsmith::test::AudioEightBytes()));
    int n = 0;
    for (const tSndType& s : st.Firmware.Sounds)
        if (s.Size > 0)
            Seed("smaf", "demo-" + std::to_string(++n) + ".mmf",
                 std::string(st.FirmwareFile->View(s.Address, static_cast<size_t>(s.Size))));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    g_out = argv[1];
    const std::string temp = (stdfs::temp_directory_path() / ("fuzz_seeds." + std::to_string(::getpid()))).string();
    stdfs::create_directories(temp + "/demo");
    const auto demo = flashsmith::demo::WriteDemoFirmware(temp + "/demo", {});
    if (!demo) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", demo.Error().c_str());
        return 1;
    }
    FirmwareState st;
    OpenOptions o;
    o.SdfPath = demo->ProfilePath;
    if (OpenFirmware(st, demo->ImagePath, o, NullProgress()).Status != OpenStatus::Ok) {
        std::fprintf(stderr, "fuzz_seeds: the demo image does not open\n");
        return 1;
    }
    std::string ini;
    ReadWholeFile(demo->ProfilePath, ini);
    TableSeeds(st, ini);
    PictureSeeds(st);
    HandMadeBitmaps();
    AnswerSeeds();
    SRecordSeeds(st);
    JarSeeds(st);
    SmafSeeds(st);
    PatchSeeds(st, temp);
    stdfs::remove_all(temp);
    return 0;
}
