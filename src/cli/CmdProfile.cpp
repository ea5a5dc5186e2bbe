// profile create: the profile creator from the command line.
#include <iostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/OpenImage.h"
#include "base/FileUtil.h"
#include "firmware/Images.h"
#include "base/Hex.h"
#include "firmware/ProgramDir.h"
#include "profilecreator/ProfileCreator.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::profilecreator;

namespace {

const char* const kUsage =
    "usage: flashsmith-cli profile create IMAGE [--out FILE | --firmwares DIR] [--display WxH]\n"
    "                                     [--transparent COLOUR] [--no-languages] [--force]\n"
    "                                     [--dry-run] [--json]\n"
    "Searches an image that has no description file for its tables, estimates the memory\n"
    "regions and writes a new description file.\n"
    "  --out FILE          write the description file here\n"
    "  --firmwares DIR     write DIR/<version>.sdf (default: the program's Firmwares folder)\n"
    "  --display WxH       the phone's display size for the picture search; without it the\n"
    "                      common sizes 176x220, 128x160, 240x320, 128x128, 220x176,\n"
    "                      320x240 and 176x144 are tried in turn\n"
    "  --transparent C     the transparent colour of \"09\" pictures, 0x00BBGGRR\n"
    "  --no-languages      skip the language table search\n"
    "  --force             replace an existing description file\n"
    "  --dry-run           search and print, write nothing\n"
    "  --json              print the found tables, pictures and regions as JSON\n";

bool ParseDisplay(const std::string& text, int32_t* w, int32_t* h) {
    const size_t x = text.find_first_of("xX");
    int64_t a, b;
    if (x == std::string::npos || !ParseCliNumber(text.substr(0, x), &a) || !ParseCliNumber(text.substr(x + 1), &b))
        return false;
    if (a < 1 || b < 1 || a > 0xFFFF || b > 0xFFFF) return false;
    *w = static_cast<int32_t>(a);
    *h = static_cast<int32_t>(b);
    return true;
}

std::string Table(bool searched, int32_t v) { return searched ? HexStr(static_cast<uint32_t>(v)) : ""; }

void PrintText(const ProfileSearch& s, int32_t w, int32_t h) {
    std::cout << "Phone Model:            SGH-" << s.PhoneModel << "\nFirmware Version:       " << s.Version
              << "\nStart Address:          " << HexStr(static_cast<uint32_t>(s.StartAddr))
              << "\nDisplay Size:           " << w << " x " << h
              << "\nTable of Images:        " << Table(s.ImagesSearched, s.ImageTable)
              << "\nImages Found:           " << s.FoundImages.size()
              << "\nTable of Sounds:        " << Table(s.SoundsSearched, s.SoundTable)
              << "\nSound Record Length:    " << s.SndTableLength
              << "\nSize of Sound Offset:   " << s.SndTableSizeOfs
              << "\nVolume of Sound Offset: " << s.SndTableVolOfs
              << "\nTable of Java:          " << Table(s.JavaSearched, s.JavaTable)
              << "\nJava Record Length:     " << s.JavaTableLength;
    if (s.LanguagesSearched)
        std::cout << "\nTable of Languages 1:   " << (s.LanguageTables.size() > 0 ? Table(true, s.LanguageTable1()) : "")
                  << "\nTable of Languages 2:   " << (s.LanguageTables.size() > 1 ? Table(true, s.LanguageTable2()) : "")
                  << "\nLanguage Count:         " << s.LanguageCount;
    std::cout << "\nFirmware Memory Regions:\n  Start Addr  Length      Type  Comment\n";
    for (size_t i = 0; i < s.Regions.size(); ++i) {
        std::string len = std::to_string(s.Regions[i].Length);
        std::string type = std::to_string(i + 1);
        std::cout << "  " << HexStr(s.Regions[i].Start) << "  " << len
                  << std::string(len.size() < 12 ? 12 - len.size() : 1, ' ') << type
                  << std::string(type.size() < 6 ? 6 - type.size() : 1, ' ') << RegionComment(i) << "\n";
    }
}

void PrintSearchJson(const ProfileSearch& s, int32_t w, int32_t h, const std::string& saved) {
    // The found pictures show only what the search learns of them, not the
    // editor's whole entry.
    Json images = Json::array();
    for (const tImgType& e : s.FoundImages)
        images.push_back(Json{{"Address", e.Address},
                              {"Width", e.Width},
                              {"Height", e.Height},
                              {"Kind", e.Kind},
                              {"Size", e.Size},
                              {"ID", e.ID}});
    Json regions = Json::array();
    for (size_t i = 0; i < s.Regions.size(); ++i)
        regions.push_back(Json{{"Start", s.Regions[i].Start},
                               {"Length", s.Regions[i].Length},
                               {"Comment", ByteText(RegionComment(i))}});
    PrintJson(Json{{"PhoneModel", ByteText(s.PhoneModel)},
                   {"Version", ByteText(s.Version)},
                   {"VersionAddr", s.VersionAddr},
                   {"StartAddr", s.StartAddr},
                   {"FileSize", s.FileSizeValue},
                   {"DisplayWidth", w},
                   {"DisplayHeight", h},
                   {"ImageTable", s.ImageTable},
                   {"SoundTable", s.SoundTable},
                   {"SndTableLength", s.SndTableLength},
                   {"SndTableSizeOfs", s.SndTableSizeOfs},
                   {"SndTableVolOfs", s.SndTableVolOfs},
                   {"JavaTable", s.JavaTable},
                   {"JavaTableLength", s.JavaTableLength},
                   {"LanguageTable1", s.LanguageTable1()},
                   {"LanguageTable2", s.LanguageTable2()},
                   {"LanguageCount", s.LanguageCount},
                   {"LanguageTables", s.LanguageTables},
                   {"FoundImages", images},
                   {"Regions", regions},
                   {"Saved", ByteText(saved)}});
}

int RunCreate(const Args& args) {
    ArgParser p(kUsage);
    p.Option("--out").Option("--firmwares").Option("--display").Option("--transparent");
    p.Flag("--no-languages").Flag("--force").Flag("--dry-run").Flag("--json");
    int rc;
    if (!p.Parse(args, 1, 1, &rc)) return rc;
    if (p.Get("--out") && p.Get("--firmwares")) return UsageError("--out and --firmwares exclude each other");
    std::vector<std::pair<int32_t, int32_t>> sizes = {{176, 220}, {128, 160}, {240, 320}, {128, 128},
                                                      {220, 176}, {320, 240}, {176, 144}};
    if (auto d = p.Get("--display")) {
        int32_t w, h;
        if (!ParseDisplay(*d, &w, &h)) return UsageError("--display needs WIDTHxHEIGHT, e.g. 176x220");
        sizes = {{w, h}};
    }
    std::optional<uint32_t> transparent;
    if (auto t = p.Get("--transparent")) {
        int64_t v;
        if (!ParseCliNumber(*t, &v) || v < 0 || v > 0xFFFFFF) return UsageError("--transparent needs a colour 0x00BBGGRR");
        transparent = static_cast<uint32_t>(v);
    }

    std::string error;
    std::unique_ptr<BinFile> file;
    if (!BinFile::Open(p.Positionals()[0]).Take(file, &error)) return Fail(error);
    ProgressSink& progress = TerminalProgress();
    ProfileSearchOptions o;
    o.SearchImages = o.SearchSounds = o.SearchJava = true;
    o.SearchLanguages = !p.Has("--no-languages");
    o.DisplayWidth = sizes[0].first;
    o.DisplayHeight = sizes[0].second;
    ProfileSearch s = RunProfileSearch(*file, o, progress);
    if (s.Status == ProfileSearchStatus::NoModel) return Fail(p.Positionals()[0] + ": no phone model found");
    if (s.Status == ProfileSearchStatus::NoVersion) return Fail(p.Positionals()[0] + ": no firmware version found");
    // Further display sizes only redo the picture search.
    for (size_t i = 1; i < sizes.size() && s.ImageTable <= 0; ++i) {
        ProfileSearchOptions only;
        only.SearchImages = true;
        only.DisplayWidth = sizes[i].first;
        only.DisplayHeight = sizes[i].second;
        ProfileSearch again = RunProfileSearch(*file, only, progress);
        if (again.ImageTable > 0) {
            s.ImageTable = again.ImageTable;
            s.FoundImages = std::move(again.FoundImages);
            o.DisplayWidth = only.DisplayWidth;
            o.DisplayHeight = only.DisplayHeight;
        }
    }
    s.Transparent = transparent;
    EstimateRegions(*file, s);

    std::string saved;
    if (!p.Has("--dry-run")) {
        std::string path;
        if (auto out = p.Get("--out")) {
            path = *out;
        } else {
            const std::string dir = p.Get("--firmwares").value_or(DefaultProgramDir() + "Firmwares");
            path = JoinPath(dir, s.Version + ".sdf");
        }
        if (!p.Has("--force") && FileExists(path))
            return Fail(path + ": the file exists (--force replaces it)");
        if (Status w = WriteDescriptionFile(path, s, p.Has("--force")); !w) return Fail(w.Error());
        saved = path;
    }
    if (p.Has("--json")) {
        PrintSearchJson(s, o.DisplayWidth, o.DisplayHeight, saved);
    } else {
        PrintText(s, o.DisplayWidth, o.DisplayHeight);
        if (!saved.empty()) std::cout << "Profile saved to the file: " << BaseName(saved) << "\n";
    }
    return kExitOk;
}

}  // namespace

int RunProfile(const Args& args) {
    static constexpr Verb kVerbs[] = {{"create", RunCreate}};
    return RunVerb(args, kVerbs, kUsage, {"missing profile verb", "unknown profile verb", false});
}

}  // namespace flashsmith::cli
