// demo, identify, list and export: the firmware model from the command line.
#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/Command.h"
#include "cli/EditScript.h"
#include "cli/Json.h"
#include "cli/OpenImage.h"
#include "cli/SoundOut.h"
#include "editing/DeleteRestore.h"
#include "editing/Export.h"
#include "editing/RegionUsage.h"
#include "editing/ResourceList.h"
#include "demo/DemoFirmware.h"
#include "base/FileUtil.h"
#include "firmware/FileFront.h"
#include "firmware/Firmware.h"
#include "base/Hex.h"
#include "base/Cp1251.h"
#include "base/Text.h"
#include "firmware/ProgramDir.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;
using namespace flashsmith::demo;

int RunDemo(const Args& args) {
    ArgParser p("usage: flashsmith-cli demo DIR [--size N] [--lead N]\n"
                "Writes DIR/demo.bin and DIR/Firmwares/<version>.sdf, a synthetic firmware.\n"
                "  --size N   pad the image to N bytes in all\n"
                "  --lead N   put N zero bytes before the firmware\n");
    p.Option("--size").Option("--lead");
    int rc;
    if (!p.Parse(args, 1, 1, &rc)) return rc;
    DemoOptions o;
    if (auto s = p.Get("--size"); s && (!ParseCliNumber(*s, &o.Size) || o.Size < 0))
        return UsageError("--size needs a number");
    if (auto s = p.Get("--lead"); s && (!ParseCliNumber(*s, &o.Lead) || o.Lead < 0))
        return UsageError("--lead needs a number");
    const Result<DemoResult> r = WriteDemoFirmware(p.Positionals()[0], o);
    if (!r) return Fail(r.Error());
    std::cout << r->ImagePath << "\n" << r->ProfilePath << "\n";
    return kExitOk;
}

int RunIdentify(const Args& args) {
    ArgParser p("usage: flashsmith-cli identify IMAGE [--firmwares DIR] [--json]\n"
                "Finds the start offset, phone model, version and matching description files.\n");
    p.Option("--firmwares").Flag("--json");
    int rc;
    if (!p.Parse(args, 1, 1, &rc)) return rc;
    // Only the front the searches reach is read: a dump of tens of megabytes
    // is usually identified within its first few.
    std::string error;
    std::unique_ptr<FileFront> file;
    if (!FileFront::Open(p.Positionals()[0]).Take(file, &error)) return Fail(error);
    ProgressSink& progress = TerminalProgress();
    progress.SetRange(file->Size());
    int64_t start = FindStartAddr(*file, progress);
    std::string model = start >= 0 ? FindPhoneModel(*file, start, progress) : std::string();
    const bool identified = !TrimBlanks(model).empty();
    FoundVersion v;
    std::vector<std::string> profiles;
    if (identified) {
        v = FindVersion(*file, model, start, progress);
        const std::string dir = p.Get("--firmwares").value_or(DefaultProgramDir() + "Firmwares");
        profiles = FindProfiles(dir, v.Version);
    } else {
        model.clear();
    }
    if (!file->Error().empty()) return Fail(file->Error());
    if (p.Has("--json")) {
        Json names = Json::array();
        for (const auto& n : profiles) names.push_back(ByteText(n));
        PrintJson(Json{{"StartAddr", start},
                       {"PhoneModel", ByteText(model)},
                       {"Version", ByteText(v.Version)},
                       {"VersionAddr", v.Address},
                       {"Profiles", names}});
    } else {
        std::cout << "StartAddr:   " << start << (start >= 0 ? " (" + HexStr(static_cast<uint32_t>(start)) + ")" : "")
                  << "\nPhoneModel:  " << model << "\nVersion:     " << v.Version << "\nVersionAddr: " << v.Address
                  << (v.Address >= 0 ? " (" + HexStr(static_cast<uint32_t>(v.Address)) + ")" : "") << "\nProfiles:   ";
        for (const auto& n : profiles) std::cout << " " << n;
        std::cout << "\n";
    }
    return kExitOk;
}

namespace {

void JsonState(const FirmwareState& st) {
    const tFirmware& f = st.Firmware;
    auto strings = [](const std::vector<pStringType>& langs) {
        Json out = Json::array();
        for (const auto& list : langs) out.push_back(list);
        return out;
    };
    PrintJson(Json{{"ProfilePath", ByteText(st.ProfilePath)},
                   {"FirmwareDescription", st.FirmwareDescription},
                   {"Regions", f.Regions},
                   {"Images", f.Images},
                   {"Sounds", f.Sounds},
                   {"JavaApps", f.JavaApps},
                   {"LangHeaders1", f.LangHeaders1},
                   {"LangHeaders2", f.LangHeaders2},
                   {"Strings1", strings(f.Strings1)},
                   {"Strings2", strings(f.Strings2)},
                   {"DeletedSoundCount", st.DeletedSoundCount}});
}

// Columns are counted in characters, not UTF-8 bytes.
size_t DisplayWidth(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

std::string PadRight(const std::string& s, size_t width) {
    size_t w = DisplayWidth(s);
    return w >= width ? s : s + std::string(width - w, ' ');
}

const char* ColourName(RowColour c) {
    switch (c) {
        case RowColour::Deleted: return "deleted";
        case RowColour::Changed: return "changed";
        case RowColour::Borrowed: return "borrowed";
        case RowColour::Linked: return "linked";
        default: return "";
    }
}

void TextCategory(const FirmwareState& st, int32_t category, const std::string& title) {
    const int32_t rows = RowCount(st, category);
    std::cout << title << ": " << rows << (rows == 1 ? " entry" : " entries");
    if (const MemoryRegion* r = st.Firmware.RegionAt(category)) {
        std::cout << ", region " << HexStr(r->Range.Start) << " size " << r->Range.Length << " used " << ShownUsed(st, category);
    }
    std::cout << "\n";
    if (!rows) return;
    std::vector<ListRow> list;
    size_t width = 4;
    for (int32_t i = 0; i < rows; ++i) {
        list.push_back(MakeListRow(st, category, i));
        if (category >= kCatFirstLanguage) list.back().Name = Utf8FromAnsi(list.back().Name);
        width = std::max(width, DisplayWidth(list.back().Name));
    }
    width = std::min<size_t>(width, 48);
    std::cout << "  " << PadRight("Name", width) << "  " << std::setw(8) << "Size" << "  ID\n";
    for (const auto& row : list) {
        std::cout << "  " << PadRight(row.Name, width) << "  " << std::setw(8) << row.Size << "  " << row.Id;
        if (row.Colour != RowColour::Normal) std::cout << "  (" << ColourName(row.Colour) << ")";
        std::cout << "\n";
    }
}

}  // namespace

void PrintListing(const FirmwareState& st, bool json) {
    if (json) return JsonState(st);
    const auto& d = st.FirmwareDescription;
    std::cout << "Phone: " << d.PhoneModel << "\nFirmware: " << d.Version << "\nProfile: " << st.ProfilePath << "\n\n";
    TextCategory(st, kCatImages, "Images");
    std::cout << "\n";
    TextCategory(st, kCatSounds, "Sounds");
    std::cout << "\n";
    TextCategory(st, kCatJava, "Java");
    for (int table = 1; table <= 2; ++table) {
        const auto& lists = table == 1 ? st.Firmware.Strings1 : st.Firmware.Strings2;
        for (int32_t k = 0; k < static_cast<int32_t>(lists.size()); ++k) {
            std::cout << "\n";
            TextCategory(st, LanguageCategory(st, table, k),
                         "Lang Table " + std::to_string(table) + " / Lang_" + std::to_string(k + 1));
        }
    }
}

int RunList(const Args& args) {
    ArgParser p(std::string("usage: flashsmith-cli list IMAGE [--firmwares DIR] [--profile NAME | --sdf FILE] [--json]\n"
                            "                         [--edits SCRIPT [--temp DIR] [--keep-temp]]\n"
                            "Opens the image and lists every category as the editor shows it; with --edits,\n"
                            "as it stands after the script's pending edits.\n") +
                kProfileOptionsUsage + "  --json            the whole model as one JSON object\n" + kEditOptionsUsage +
                "\n" + kEditScriptSyntax +
                "A line that changes nothing warns (\"warning: line N: ...\") and the run exits 1;\n"
                "a malformed script exits 2 before any line runs.\n");
    AddProfileOptions(p);
    AddEditOptions(p);
    p.Flag("--json");
    int rc;
    if (!p.Parse(args, 1, 1, &rc)) return rc;
    FirmwareState st;
    if (int r = OpenImageForCli(p, p.Positionals()[0], st)) return r;
    RunTempDir temp;
    bool ran;
    const int edits = RunCliEdits(p, st, temp, &ran);
    if (!ran || edits == kExitUsage) return edits;
    PrintListing(st, p.Has("--json"));
    return edits;
}

int RunExport(const Args& args) {
    ArgParser p(std::string("usage: flashsmith-cli export IMAGE images|sounds|java INDEX|all DIR [--jpeg|--png] "
                            "[--wav|--wav-only] [profile options]\n"
                            "Writes the stored data of entries to files named as the editor's rows.\n") +
                kProfileOptionsUsage + "  --jpeg            pictures as JPEG (quality 100) instead of 32-bit BMP\n"
                "  --png             pictures as PNG instead of 32-bit BMP\n"
                "  --wav             sounds also rendered to WAV (48 kHz, 16-bit stereo) beside the .mmf\n"
                "  --wav-only        sounds rendered to WAV instead of the .mmf\n");
    AddProfileOptions(p);
    p.Flag("--jpeg").Flag("--png").Flag("--wav").Flag("--wav-only");
    int rc;
    if (!p.Parse(args, 4, 4, &rc)) return rc;
    if (p.Has("--jpeg") && p.Has("--png")) return UsageError("--jpeg and --png exclude each other");
    const PictureExport format = p.Has("--jpeg") ? PictureExport::Jpeg
                                 : p.Has("--png") ? PictureExport::Png
                                                  : PictureExport::Bmp;
    const auto& pos = p.Positionals();
    int32_t category;
    if (pos[1] == "images") category = kCatImages;
    else if (pos[1] == "sounds") category = kCatSounds;
    else if (pos[1] == "java") category = kCatJava;
    else return UsageError("category must be images, sounds or java");
    int64_t index = -1;
    if (pos[2] != "all" && (!ParseCliNumber(pos[2], &index) || index < 0))
        return UsageError("INDEX must be a number or all");
    if (!DirExists(pos[3])) return Fail(pos[3] + ": no such folder");
    FirmwareState st;
    if (int r = OpenImageForCli(p, pos[0], st)) return r;
    const int32_t rows = RowCount(st, category);
    if (index >= rows) return Fail("no entry " + pos[2] + " among " + std::to_string(rows));
    const bool wavOnly = p.Has("--wav-only"), wav = wavOnly || p.Has("--wav");
    if (wav && category != kCatSounds) return UsageError("--wav and --wav-only apply to sounds");
    int failures = 0;
    for (int32_t i = index < 0 ? 0 : static_cast<int32_t>(index); i < (index < 0 ? rows : index + 1); ++i) {
        if (wav) {
            ExportResult w = ExportSoundAsWav(st, i, pos[3]);
            if (w.Status == ExportStatus::Ok) {
                std::cout << w.Path << "\n";
            } else if (w.Status != ExportStatus::NothingToExport || index >= 0) {
                std::cerr << "error: entry " << i << ": " << (w.Error.empty() ? "nothing to export" : w.Error) << "\n";
                ++failures;
            }
            if (wavOnly || w.Status == ExportStatus::NothingToExport) continue;
        }
        ExportResult r = ExportResource(st, category, i, pos[3], format);
        if (r.Status == ExportStatus::Ok) {
            std::cout << r.Path << "\n";
        } else if (r.Status != ExportStatus::NothingToExport || index >= 0) {
            std::cerr << "error: entry " << i << ": " << (r.Error.empty() ? "nothing to export" : r.Error) << "\n";
            ++failures;
        }
    }
    return failures ? kExitFailed : kExitOk;
}

}  // namespace flashsmith::cli
