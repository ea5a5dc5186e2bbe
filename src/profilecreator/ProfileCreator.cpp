#include "profilecreator/ProfileCreator.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"
#include "base/Hex.h"
#include "base/Text.h"
#include "profilecreator/TableSearch.h"

namespace flashsmith::profilecreator {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

bool ProfileSearch::CanSave() const {
    return Status == ProfileSearchStatus::Ok && FileSizeValue >= 2 && !PhoneModel.empty() && !Version.empty() &&
           ImagesSearched && SoundsSearched && JavaSearched;
}

ProfileSearch RunProfileSearch(const BinFile& file, const ProfileSearchOptions& options,
                               ProgressSink& progress) {
    ProfileSearch r;
    progress.SetPosition(0);
    const int64_t start = FindStartAddr(file, progress);
    if (start < 0 || start > INT32_MAX) {  // every sample empty: nothing to identify
        r.Status = ProfileSearchStatus::NoModel;
        return r;
    }
    r.StartAddr = static_cast<int32_t>(start);
    r.FileSizeValue = file.Size() - start;
    progress.SetRange(r.FileSizeValue);
    progress.SetPosition(0);
    progress.ProcessEvents();

    const std::string model = FindPhoneModel(file, start, progress);
    r.PhoneModel = TrimBlanks(model);
    if (r.PhoneModel.empty()) {
        r.Status = ProfileSearchStatus::NoModel;
        return r;
    }
    // The version is searched with the model as found, untrimmed, exactly as
    // an open does: the file is named after the version the open will find.
    const FoundVersion version = FindVersion(file, model, start, progress);
    if (version.Version.empty() || version.Address > INT32_MAX) {
        r.Status = ProfileSearchStatus::NoVersion;
        return r;
    }
    r.Version = version.Version;
    r.VersionAddr = static_cast<int32_t>(version.Address);
    progress.ProcessEvents();

    // All chosen searches share one read of the image.
    const TableSearchResult found = SearchTables(file, start, options, progress);
    if (options.SearchImages) {
        r.ImagesSearched = true;
        r.ImageTable = found.ImageTable;
        if (r.ImageTable > 0) {
            r.FoundImages = ClassifyImages(file, start, r.ImageTable);
            if (r.FoundImages.empty()) r.ImageTable = -1;
        }
    }
    if (options.SearchSounds) {
        r.SoundsSearched = true;
        r.SoundTable = found.Sound.Table;
        r.SndTableLength = found.Sound.RecordLength;
        r.SndTableSizeOfs = found.Sound.SizeOfs;
        r.SndTableVolOfs = found.Sound.VolOfs;
    }
    if (options.SearchJava) {
        r.JavaSearched = true;
        r.JavaTable = found.Java.Table;
        r.JavaTableLength = found.Java.RecordLength;
    }
    if (options.SearchLanguages) {
        r.LanguagesSearched = true;
        r.LanguageTables = found.LanguageTables;
        // Only a table that was found is read.
        if (!r.LanguageTables.empty()) r.LanguageCount = CountLanguages(file, r.LanguageTables[0]);
    }
    progress.ProcessEvents();
    return r;
}

void EstimateRegions(const BinFile& file, ProfileSearch& search) {
    FoundTables t;
    t.ImageTable = search.ImageTable;
    t.SoundTable = search.SoundTable;
    t.JavaTable = search.JavaTable;
    t.SndTableLength = search.SndTableLength;
    t.JavaTableLength = search.JavaTableLength;
    t.FoundImages = &search.FoundImages;
    search.Regions = ComputeRegions(file, t);
    if (search.LanguageTables.size() >= 2) {
        auto langs = LanguageRegions(file, search.LanguageTables[0], search.LanguageTables[1], search.LanguageCount);
        search.Regions.insert(search.Regions.end(), langs.begin(), langs.end());
    }
}

const char* RegionComment(size_t row) {
    switch (row) {
        case 0: return "Region of Images";
        case 1: return "Region of Sounds";
        case 2: return "Region of Java Files";
        default: return "Region of Language";
    }
}

FoundImageRow MakeFoundImageRow(const std::vector<tImgType>& images, size_t i,
                                const std::vector<tResourceIDType>& idNames) {
    FoundImageRow row;
    if (i >= images.size()) return row;
    const tImgType& e = images[i];
    row.Name = "Image_" + std::to_string(i + 1);
    row.Type = KindName(e.Kind);
    row.Dimension = std::to_string(e.Width) + " x " + std::to_string(e.Height);
    const int64_t id = int64_t(e.ID) + 1;
    const bool named = id >= 0 && id < static_cast<int64_t>(idNames.size()) && !idNames[id].Name.empty();
    row.Id = std::to_string(id) + ":" + (named ? idNames[id].Name : std::string("Unknown ID"));
    return row;
}

namespace {

// An INI text built key by key: a section is added at the end when first
// written, a key at the end of its section.
class IniWriter {
public:
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        for (auto& s : sections_)
            if (s.first == section) {
                s.second.emplace_back(key, value);
                return;
            }
        sections_.push_back({section, {{key, value}}});
    }
    std::string Text() const {
        std::string out;
        for (const auto& [name, keys] : sections_) {
            if (!out.empty()) out += "\r\n";
            out += "[" + name + "]\r\n";
            for (const auto& [k, v] : keys) out += k + "=" + v + "\r\n";
        }
        return out;
    }

private:
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections_;
};

std::string Hex(int64_t v) { return HexStr(static_cast<uint32_t>(v)); }

}  // namespace

std::string DescriptionText(const ProfileSearch& s) {
    IniWriter ini;
    // The model is four raw bytes of the image: a line break in it would
    // start a line of its own in the file.
    std::string model = s.PhoneModel;
    for (char& c : model)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    ini.Set("FIRMWARE", "PhoneModel", model);
    ini.Set("FIRMWARE", "FileSize", std::to_string(s.FileSizeValue));
    ini.Set("FIRMWARE", "Version", s.Version);
    ini.Set("FIRMWARE", "VersionAddr", Hex(s.VersionAddr));
    if (s.ImageTable > 0) {
        ini.Set("TABLES", "ImageTable", Hex(s.ImageTable));
        if (s.Transparent) ini.Set("FIRMWARE", "Transparent", Hex(*s.Transparent));
    }
    if (s.SoundTable > 0) {
        ini.Set("TABLES", "SoundTable", Hex(s.SoundTable));
        ini.Set("TABLES", "SndTableLength", std::to_string(s.SndTableLength));
        ini.Set("TABLES", "SndTableSizeOfs", std::to_string(s.SndTableSizeOfs));
        ini.Set("TABLES", "SndTableVolOfs", std::to_string(s.SndTableVolOfs));
    }
    if (s.JavaTable > 0) {
        ini.Set("TABLES", "JavaTable", Hex(s.JavaTable));
        ini.Set("TABLES", "JavaTableLength", std::to_string(s.JavaTableLength));
    }
    if (s.LanguageTable1() > 0 && s.LanguageTable2() > 0) {
        ini.Set("TABLES", "LanguageTable1", Hex(s.LanguageTable1()));
        ini.Set("TABLES", "LanguageTable2", Hex(s.LanguageTable2()));
        ini.Set("TABLES", "LanguageCount", std::to_string(s.LanguageCount));
    }
    ini.Set("TABLES", "StartAddr", Hex(s.StartAddr));
    for (size_t n = 1; n <= s.Regions.size(); ++n) {
        const AddressRange& r = s.Regions[n - 1];
        ini.Set("REGIONS", "Region" + std::to_string(n), Hex(r.Start));
        ini.Set("REGIONS", "Region" + std::to_string(n) + "Size", std::to_string(r.Length));
    }
    if (s.ImageTable > 0)
        for (size_t n = 1; n <= s.FoundImages.size(); ++n) {
            const tImgType& img = s.FoundImages[n - 1];
            const std::string section = "IMAGE" + std::to_string(n);
            ini.Set(section, "Type", std::to_string(img.Kind));
            ini.Set(section, "Width", std::to_string(img.Width));
            ini.Set(section, "Height", std::to_string(img.Height));
            ini.Set(section, "ID", std::to_string(int64_t(img.ID) + 1));
        }
    return ini.Text();
}

std::string FreeProfilePath(const std::string& firmwaresDir, const std::string& version) {
    std::string path = JoinPath(firmwaresDir, version + ".sdf");
    for (int64_t k = 0; FileExists(path); ++k) path = JoinPath(firmwaresDir, version + "_" + std::to_string(k) + ".sdf");
    return path;
}

Status WriteDescriptionFile(const std::string& path, const ProfileSearch& search, bool overwrite) {
    if (!search.CanSave())
        return Status::Fail("the search has not identified the image or not run the picture, sound and Java searches");
    const std::string text = DescriptionText(search);
    if (overwrite) return WriteFileAtomic(path, text);
    if (FileExists(path)) return Status::Fail(path + ": the file exists");
    // Complete the file under a scratch name, then link it in place: link
    // refuses an existing target, so a file that appeared meanwhile survives.
    const std::string scratch = path + ".new" + std::to_string(::getpid());
    if (Status s = WriteFileAtomic(scratch, text); !s) return s;
    const int rc = ::link(scratch.c_str(), path.c_str());
    const int savedErrno = errno;
    ::unlink(scratch.c_str());
    if (rc != 0)
        return Status::Fail(path + ": " + (savedErrno == EEXIST ? "the file exists" : std::strerror(savedErrno)));
    return {};
}

}  // namespace flashsmith::profilecreator
