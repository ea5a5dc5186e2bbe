#include "firmware/Firmware.h"

#include <algorithm>
#include <dirent.h>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "base/FileUtil.h"
#include "firmware/Images.h"
#include "base/Hex.h"
#include "base/Text.h"
#include "firmware/FindPattern.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;

int64_t FindStartAddr(const ByteSource& file, ProgressSink& progress) {
    if (file.Size() <= kSampledImageSize) return 0;
    constexpr int64_t kSample = 64, kSkip = 409600;
    for (int64_t pos = 0; pos < file.Size(); pos += kSample + kSkip) {
        std::string_view sample = file.View(pos, kSample);
        if (std::any_of(sample.begin(), sample.end(), [](char c) { return c != 0; })) return pos;
        progress.Step(kSkip);
        progress.ProcessEvents();
    }
    return -1;
}

std::string FindPhoneModel(const ByteSource& file, int64_t start, ProgressSink& progress) {
    static const std::string marker("\0SGH-", 5);
    int64_t at = FindPattern(file, start, marker, progress);
    if (at < 0) return {};
    return std::string(file.View(at + 5, 4));
}

FoundVersion FindVersion(const ByteSource& file, const std::string& model, int64_t start, ProgressSink& progress) {
    if (model.size() <= 2) return {};
    const std::string key = model.substr(0, model.size() - 2);
    progress.SetRange(file.Size() - start + 1);
    progress.SetPosition(0);
    for (int64_t from = start;;) {
        int64_t at = FindPattern(file, from, key, progress);
        if (at < 0) return {};
        std::string_view raw = file.View(at, 24);
        size_t zero = raw.find('\0');
        std::string candidate = zero == std::string_view::npos ? std::string() : std::string(raw.substr(0, zero));
        bool ok = candidate.size() >= 8 && candidate.size() <= 10 &&
                  std::all_of(candidate.begin(), candidate.end(), [](char c) {
                      return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                  });
        if (ok) return {candidate, at};
        from = at + 1;
    }
}

std::vector<std::string> FindProfiles(const std::string& firmwaresDir, const std::string& version) {
    std::vector<std::string> names;
    if (version.empty()) return names;
    const std::string exact = version + ".sdf";
    if (FileExists(JoinPath(firmwaresDir, exact))) names.push_back(exact);
    std::vector<std::string> more;
    if (DIR* dir = ::opendir(firmwaresDir.c_str())) {
        const std::string prefix = version + "_";
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() >= prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
                name.compare(name.size() - 4, 4, ".sdf") == 0)
                more.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(more.begin(), more.end());
    for (auto& n : more) {
        if (names.size() >= 128) break;
        names.push_back(n);
    }
    return names;
}

void ReadDescription(FirmwareState& state, const IniFile& ini) {
    tFirmwareDescription& d = state.FirmwareDescription;
    auto low32 = [](int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); };
    d.PhoneModel = ini.Text("FIRMWARE", "PhoneModel", "").substr(0, 16);
    d.Version = ini.Text("FIRMWARE", "Version", "").substr(0, 16);
    d.VersionAddr = low32(ini.Int64("FIRMWARE", "VersionAddr", 0));
    d.Transparent = low32(ini.Int64("FIRMWARE", "Transparent", 0));
    d.ImageTable = low32(ini.Int64("TABLES", "ImageTable", 0));
    d.SoundTable = low32(ini.Int64("TABLES", "SoundTable", 0));
    d.JavaTable = low32(ini.Int64("TABLES", "JavaTable", 0));
    d.LanguageTable1 = low32(ini.Int64("TABLES", "LanguageTable1", 0));
    d.LanguageTable2 = low32(ini.Int64("TABLES", "LanguageTable2", 0));
    d.SndTableLength = ini.Int32("TABLES", "SndTableLength", 0);
    d.JavaTableLength = ini.Int32("TABLES", "JavaTableLength", 0);
    d.LanguageCount = ini.Int32("TABLES", "LanguageCount", 0);
    d.SndTableSizeOfs = ini.Int32("TABLES", "SndTableSizeOfs", 0);
    d.SndTableVolOfs = ini.Int32("TABLES", "SndTableVolOfs", 0);
    d.StartAddr = low32(ini.Int64("TABLES", "StartAddr", 0));

    auto& regions = state.Firmware.Regions;
    regions.assign(kRegionCount, MemoryRegion{});
    for (int n = 1; n <= kRegionCount; ++n) {
        int64_t start = ini.Int64("REGIONS", "Region" + std::to_string(n), 0);
        int64_t size = ini.Int64("REGIONS", "Region" + std::to_string(n) + "Size", 0);
        MemoryRegion& r = regions[n - 1];
        // A size whose low 32 bits read as negative is as unusable as a
        // negative one.
        const int32_t length = size < 0 || low32(size) < 0 ? 0 : low32(size);
        r.Range = {start < 0 ? 0 : static_cast<uint32_t>(start), length};
        r.Used = length;
    }
}

void ReadDescription(FirmwareState& state, const std::string& path) {
    ReadDescription(state, IniFile::Load(path));
}

namespace {

template <typename Measure>
int32_t SizeOfPicture(const tImgType& image, Measure measure09) {
    const int64_t w = image.Width, h = image.Height;
    switch (image.Kind) {
        case kRaw8: return static_cast<int32_t>(w * h);
        case kRaw16: return static_cast<int32_t>(w * h * 2);
        case kWbmp: return static_cast<int32_t>(w * ((h + 7) / 8 * 8) / 8);
        case k09:
            // Decoded into a 321 x 321 work picture, so larger ones count 0.
            if (w > 321 || h > 321 || image.Address < 0) return 0;
            return measure09();
        default: return 0;
    }
}

}  // namespace

int32_t PictureSize(const BinFile& file, const tImgType& image) {
    return SizeOfPicture(image, [&] { return Measure09(file, image.Address, image.Width, image.Height); });
}

std::optional<int32_t> PictureSize(PictureMeasurer& measurer, const tImgType& image) {
    bool spent = false;
    const int32_t size = SizeOfPicture(image, [&] {
        const std::optional<int32_t> measured = measurer.Measure09(image.Address, image.Width, image.Height);
        spent = !measured;
        return measured.value_or(0);
    });
    return spent ? std::nullopt : std::optional<int32_t>(size);
}

namespace {

// Region totals of forged tables can exceed 32 bits; they saturate.
int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

class TableError {
public:
    explicit TableError(std::string what) : what_(std::move(what)) {}
    const std::string& what() const { return what_; }

private:
    std::string what_;
};

// The memory the open's tables may take: four times the image plus 32 MiB.
// Real tables take a small share of that; forged ones whose entries all name
// the same data (every language the same pointer table, every pointer the
// same string) are refused instead of filling the memory.
class ModelBudget {
public:
    explicit ModelBudget(int64_t fileSize) : left_(4 * fileSize + (int64_t(32) << 20)) {}
    void Charge(int64_t bytes, const char* what, int64_t at) {
        left_ -= bytes;
        if (left_ < 0)
            throw TableError(std::string(what) + " at " + HexStr(static_cast<uint32_t>(at)) +
                             " names more data than the image can hold");
    }

private:
    int64_t left_;
};

// A hash map's node beside each entry of the address maps.
constexpr int64_t kMapNode = 32;

// Bytes a text of n bytes takes on the heap (short ones live inside the string).
int64_t HeapText(size_t n) { return n < 16 ? 0 : static_cast<int64_t>(n) + 1; }

void Need(const BinFile& f, int64_t offset, int64_t n, const char* what) {
    if (!f.Has(offset, n))
        throw TableError(std::string(what) + " at " + HexStr(static_cast<uint32_t>(offset)) +
                         " reads past the end of the file");
}

void ParsePictures(FirmwareState& st, const IniFile& ini, ModelBudget& budget, ProgressSink& progress) {
    const BinFile& f = *st.FirmwareFile;
    auto& images = st.Firmware.Images;
    std::unordered_map<int32_t, int32_t> firstByAddress;
    PictureMeasurer measurer(f);
    int64_t total = 0;
    int64_t pos = static_cast<int64_t>(static_cast<uint32_t>(st.FirmwareDescription.ImageTable)) + 8;
    for (int n = 1;; ++n, pos += 8) {
        if (!f.Has(pos, 4)) break;
        uint16_t w = f.U16(pos), h = f.U16(pos + 2);
        if ((w == 0 && h == 0) || h > 480 || w > 640) break;
        if (!f.Has(pos + 4, 4)) break;
        tImgType img;
        img.Width = w;
        img.Height = h;
        img.Address = static_cast<int32_t>(f.U32(pos + 4));
        budget.Charge(sizeof(tImgType) + kMapNode, "picture table entry", pos);
        const std::string section = "IMAGE" + std::to_string(n);
        img.Kind = ini.Int32(section, "Type", 4);
        img.ID = static_cast<int32_t>(std::max<int64_t>(int64_t(ini.Int32(section, "ID", 0)) - 1, INT32_MIN));
        int32_t ow = ini.Int32(section, "Width", -1), oh = ini.Int32(section, "Height", -1);
        if (ow >= 0 && oh >= 0) {
            img.Width = ow;
            img.Height = oh;
        }
        const std::optional<int32_t> size = PictureSize(measurer, img);
        if (!size)
            throw TableError("the picture table's \"09\" pictures at " + HexStr(static_cast<uint32_t>(pos)) +
                             " overlap beyond the size of the image");
        img.Size = *size;
        const int32_t index = static_cast<int32_t>(images.size());
        auto [it, added] = firstByAddress.try_emplace(img.Address, index);
        if (!added) {
            img.Link = it->second;
            img.Address = -1;
            firstByAddress.try_emplace(-1, index);
        } else {
            total += img.Size;
        }
        images.push_back(std::move(img));
        if ((n & 255) == 0) progress.ProcessEvents();
    }
    st.Firmware.Regions[0].Used = ClampToInt32(total);
}

void ParseSounds(FirmwareState& st, ModelBudget& budget) {
    const BinFile& f = *st.FirmwareFile;
    const int32_t len = std::max(st.FirmwareDescription.SndTableLength, 8);
    auto& sounds = st.Firmware.Sounds;
    std::unordered_map<int32_t, int32_t> firstByAddress;
    int64_t total = 0;
    for (int64_t pos = static_cast<uint32_t>(st.FirmwareDescription.SoundTable);; pos += len) {
        if (!f.Has(pos, len)) break;
        int32_t address = static_cast<int32_t>(f.U32(pos));
        uint32_t size = f.U32(pos + 4);
        uint32_t marker = len > 8 ? f.U32(pos + len - 4) : 0;
        // The size is checked unsigned: a "negative" size is as bogus as a huge one.
        if (address < 0 || address > f.Size() || size > 0x80000 ||
            (marker == 0 && (address == 0 || size == 0)))
            break;
        budget.Charge(sizeof(tSndType) + kMapNode, "sound table entry", pos);
        tSndType s;
        s.Address = address;
        s.Size = static_cast<int32_t>(size);
        auto [it, added] = firstByAddress.try_emplace(address, static_cast<int32_t>(sounds.size()));
        if (!added) s.Link = it->second;
        else total += s.Size;
        sounds.push_back(std::move(s));
    }
    st.Firmware.Regions[1].Used = ClampToInt32(total);
}

void ParseJava(FirmwareState& st, ModelBudget& budget) {
    const BinFile& f = *st.FirmwareFile;
    const int32_t len = st.FirmwareDescription.JavaTableLength;
    if (len <= 8) return;
    int64_t total = 0;
    for (int64_t pos = static_cast<uint32_t>(st.FirmwareDescription.JavaTable);; pos += len) {
        Need(f, pos, len, "Java table entry");
        std::string_view field = f.View(pos, static_cast<size_t>(len - 8));
        size_t zero = field.find('\0');
        if (zero == std::string_view::npos || zero == 0) break;
        budget.Charge(sizeof(tJavaType) + HeapText(zero), "Java table entry", pos);
        tJavaType j;
        j.Path = std::string(field.substr(0, zero));
        j.Size = static_cast<int32_t>(f.U32(pos + len - 8));
        j.Address = static_cast<int32_t>(f.U32(pos + len - 4));
        if (UpperAscii(j.Path).compare(0, 7, "E:\\S100") != 0) continue;
        total += j.Size;
        st.Firmware.JavaApps.push_back(std::move(j));
    }
    st.Firmware.Regions[2].Used = ClampToInt32(total);
}

void ParseLanguages(FirmwareState& st, uint32_t tableAddr, std::vector<LanguageHeader>& headers,
                    std::vector<pStringType>& strings, int32_t firstRegion, ModelBudget& budget,
                    ProgressSink& progress) {
    const BinFile& f = *st.FirmwareFile;
    const int32_t count = std::max(st.FirmwareDescription.LanguageCount, 0);
    const auto& regions = st.Firmware.Regions;
    Need(f, tableAddr, static_cast<int64_t>(count) * 12, "language table");
    budget.Charge(static_cast<int64_t>(count) * (sizeof(LanguageHeader) + sizeof(pStringType) + 64),
                  "language table", tableAddr);
    for (int32_t k = 0; k < count; ++k) {
        int64_t h = static_cast<int64_t>(tableAddr) + 12 * static_cast<int64_t>(k);
        headers.push_back({f.U32(h), static_cast<int32_t>(f.U32(h + 4))});
    }
    // Language table 1's regions hold the strings other languages borrow.
    const int32_t homeLast = std::min<int32_t>(3 + count, kRegionCount);
    std::vector<std::unordered_set<uint32_t>> borrowed(count);
    strings.assign(count, {});
    for (int32_t k = 0; k < count; ++k) {
        const LanguageHeader& lh = headers[k];
        const int64_t n = std::max(lh.Count, 0);
        Need(f, lh.TableAddr, n * 4, "string pointer table");
        budget.Charge(n * static_cast<int64_t>(sizeof(tStringType)), "string pointer table", lh.TableAddr);
        pStringType& list = strings[k];
        list.resize(static_cast<size_t>(n));
        const int64_t region = static_cast<int64_t>(firstRegion) + k;
        const bool hasRegion = region < kRegionCount;
        const AddressRange own = hasRegion ? regions[region].Range : AddressRange{};
        std::unordered_map<uint32_t, int32_t> firstByAddress;
        for (int64_t i = 0; i < n; ++i) {
            tStringType& s = list[i];
            s.Address = f.U32(lh.TableAddr + 4 * i);
            std::string_view raw = f.View(s.Address, 255);
            size_t zero = raw.find('\0');
            if (zero == std::string_view::npos && raw.size() < 255)
                Need(f, s.Address, 255, "string");
            const size_t length = zero == std::string_view::npos ? raw.size() : zero;
            budget.Charge(HeapText(length) + kMapNode, "string", s.Address);
            s.Text = std::string(raw.substr(0, length));
            // The address just past the own region still counts as its own.
            if (hasRegion && own.Start <= s.Address && s.Address <= own.End()) {
                auto [it, added] = firstByAddress.try_emplace(s.Address, static_cast<int32_t>(i));
                if (!added) s.Link = it->second;
            } else {
                for (int32_t j = 3; j < homeLast; ++j) {
                    if (regions[j].Range.Contains(s.Address)) {
                        s.HomeLang = j - 3;
                        borrowed[k].insert(s.Address);
                        break;
                    }
                }
            }
        }
        progress.ProcessEvents();
    }
    for (int32_t k = 0; k < count; ++k) {
        if (borrowed[k].empty()) continue;
        pStringType& list = strings[k];
        for (size_t i = 0; i < list.size(); ++i)
            if (borrowed[k].count(list[i].Address)) list[i].Link = static_cast<int32_t>(i);
    }
}

}  // namespace

ParseResult ParseTables(FirmwareState& st, const IniFile& ini) {
    ParseResult result;
    if (!st.FirmwareFile) {
        result.Ok = false;
        result.Error = "no image is open";
        return result;
    }
    if (st.Firmware.Regions.size() != kRegionCount) st.Firmware.Regions.assign(kRegionCount, MemoryRegion{});
    const tFirmwareDescription& d = st.FirmwareDescription;
    ProgressSink& progress = NullProgress();
    ModelBudget budget(st.FirmwareFile->Size());
    try {
        if (d.ImageTable != 0) {
            ParsePictures(st, ini, budget, progress);
            result.Flags |= kTablePictures;
        }
        if (d.SoundTable != 0) {
            ParseSounds(st, budget);
            result.Flags |= kTableSounds;
        }
        if (d.JavaTable != 0) {
            ParseJava(st, budget);
            result.Flags |= kTableJava;
        }
        if (d.LanguageTable1 != 0) {
            ParseLanguages(st, static_cast<uint32_t>(d.LanguageTable1), st.Firmware.LangHeaders1,
                           st.Firmware.Strings1, 3, budget, progress);
            result.Flags |= kTableLang1;
        }
        if (d.LanguageTable2 != 0) {
            ParseLanguages(st, static_cast<uint32_t>(d.LanguageTable2), st.Firmware.LangHeaders2,
                           st.Firmware.Strings2, 3 + std::max(d.LanguageCount, 0), budget, progress);
            result.Flags |= kTableLang2;
        }
    } catch (const TableError& e) {
        result.Ok = false;
        result.Error = e.what();
    }
    return result;
}

void ResetFirmware(FirmwareState& st) {
    st.SelectedRegion = -1;
    st.DeletedSoundCount = 0;
    st.FirmwareLoaded = false;
    auto regions = std::move(st.Firmware.Regions);
    st.Firmware = tFirmware{};
    st.Firmware.Regions = std::move(regions);
    st.ProfilePath.clear();
}

std::string BesideFirmwaresDir(const std::string& imagePath) {
    return JoinPath(FolderOf(imagePath), "Firmwares");
}

namespace {

OpenResult OpenFirmwareOrThrow(FirmwareState& st, const std::string& path, const OpenOptions& options,
                               ProgressSink& progress) {
    OpenResult result;
    ResetFirmware(st);
    st.FirmwareFile.reset();
    st.FirmwarePath.clear();
    auto end = [&](OpenStatus status, std::string error = {}) {
        st.FirmwareFile.reset();
        result.Status = status;
        result.Error = std::move(error);
        return result;
    };
    std::string error;
    st.FirmwareFile.reset();
    {
        std::unique_ptr<BinFile> opened;
        if (!BinFile::Open(path).Take(opened, &error)) return end(OpenStatus::FileError, error);
        st.FirmwareFile = std::move(opened);
    }
    const BinFile& f = *st.FirmwareFile;
    progress.SetRange(f.Size());
    progress.SetPosition(0);

    std::string profile = options.SdfPath;
    tFirmwareDescription& d = st.FirmwareDescription;
    if (profile.empty()) {
        int64_t start = FindStartAddr(f, progress);
        d.StartAddr = static_cast<int32_t>(start);
        if (start < 0) return end(OpenStatus::NoModel);
        d.PhoneModel = FindPhoneModel(f, start, progress);
        if (TrimBlanks(d.PhoneModel).empty()) return end(OpenStatus::NoModel);
        FoundVersion v = FindVersion(f, d.PhoneModel, start, progress);
        d.Version = v.Version;
        d.VersionAddr = static_cast<int32_t>(v.Address);
        result.FirmwaresDir = options.FirmwaresDir;
        result.Profiles = FindProfiles(result.FirmwaresDir, d.Version);
        // Description files may also travel with the image, in a "Firmwares"
        // folder beside it; the given folder is asked first.
        if (result.Profiles.empty()) {
            const std::string beside = BesideFirmwaresDir(path);
            if (DirExists(beside) && !SameFile(beside, options.FirmwaresDir)) {
                result.BesideDir = beside;
                result.Profiles = FindProfiles(beside, d.Version);
                if (!result.Profiles.empty()) result.FirmwaresDir = beside;
            }
        }
        if (result.Profiles.empty()) return end(OpenStatus::NoProfile);
        size_t chosen = 0;
        if (result.Profiles.size() > 1) {
            int pick = options.ChooseProfile ? options.ChooseProfile(result.Profiles) : -1;
            if (pick < 0 || static_cast<size_t>(pick) >= result.Profiles.size())
                return end(OpenStatus::Cancelled);
            chosen = static_cast<size_t>(pick);
        }
        profile = JoinPath(result.FirmwaresDir, result.Profiles[chosen]);
    }
    IniFile ini = IniFile::Load(profile);
    ReadDescription(st, ini);
    st.ProfilePath = profile;
    ParseResult parsed = ParseTables(st, ini);
    if (!parsed.Ok) {
        ResetFirmware(st);
        return end(OpenStatus::TableError, parsed.Error);
    }
    st.FirmwarePath = path;
    st.FirmwareLoaded = true;
    progress.SetPosition(f.Size());
    return result;
}

}  // namespace

OpenResult OpenFirmware(FirmwareState& st, const std::string& path, const OpenOptions& options,
                        ProgressSink& progress) {
    try {
        return OpenFirmwareOrThrow(st, path, options, progress);
    } catch (const std::bad_alloc&) {
        // Whatever was read so far goes; the program and the next open go on.
        ResetFirmware(st);
        st.FirmwareFile.reset();
        st.FirmwarePath.clear();
        OpenResult result;
        result.Status = OpenStatus::TableError;
        result.Error = "not enough memory to open " + path;
        return result;
    }
}

}  // namespace flashsmith::firmware
