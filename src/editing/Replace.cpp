#include "editing/Replace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "editing/EditInternal.h"
#include "editing/JavaPairs.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"
#include "base/FileUtil.h"
#include "firmware/Images.h"
#include "firmware/JavaNames.h"
#include "base/Text.h"
#include "firmware/PictureFile.h"
#include "firmware/PictureScale.h"

namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

using namespace detail;

namespace {

constexpr int32_t kMaxSide = 320;

// The picture files a replacement may come from.
const std::string kPictureExtensions[] = {".BMP", ".JPG", ".JPEG", ".PNG", ".GIF"};

std::string U16Le(int32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

// Writes a replacement file atomically (TempDir is created when missing).
EditStatus WriteReplacement(const FirmwareState& st, const std::string& path, const std::string& bytes,
                            std::string* detail) {
    if (!EnsureTempDir(st).Ok(detail)) return EditStatus::WriteFailed;
    return WriteFileAtomic(path, bytes).Ok(detail) ? EditStatus::Ok : EditStatus::WriteFailed;
}

// The file beside base + ext; on a case-sensitive file system also one whose
// name differs only in letter case (the phone world's files come from
// systems that ignore case).
std::string FindSibling(const std::string& base, const std::string& ext) {
    if (FileExists(base + ext)) return base + ext;
    const std::filesystem::path p(base + ext);
    const std::string wanted = UpperAscii(p.filename().string());
    std::error_code ec;
    std::filesystem::path dir = p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (UpperAscii(it->path().filename().string()) == wanted && it->is_regular_file(ec))
            return it->path().string();
    return {};
}

}  // namespace

int32_t EncodeWbmp(const Picture& picture, int32_t width, int32_t height, std::string& out) {
    out.clear();
    if (width <= 0 || height <= 0 || width > picture.Width || height > picture.Height) return 0;
    const int32_t bands = (height + 7) / 8;
    out.assign(static_cast<size_t>(width) * bands, '\0');
    for (int32_t b = 0; b < bands; ++b)
        for (int32_t x = 0; x < width; ++x) {
            unsigned byte = 0;
            for (int k = 0; k < 8 && b * 8 + k < height; ++k) {
                const uint32_t c = picture.At(x, b * 8 + k);
                const uint32_t luma = (((c >> 16) & 255) * 299 + ((c >> 8) & 255) * 587 + (c & 255) * 114) / 1000;
                if (luma < 128) byte |= 1u << k;
            }
            out[static_cast<size_t>(b) * width + x] = static_cast<char>(byte);
        }
    return static_cast<int32_t>(out.size());
}

EditResult ReplacePicture(FirmwareState& st, int32_t index, const std::string& source, bool fit) {
    if (!st.FirmwareLoaded) return Outcome(kCatImages, EditStatus::NotLoaded);
    auto& images = st.Firmware.Images;
    if (!ValidIndex(index, images.size())) return Outcome(kCatImages, EditStatus::NoEntry);
    tImgType& e = images[index];
    if (e.Link != -1) return Outcome(kCatImages, EditStatus::Linked);
    if (e.Address < 0) return Outcome(kCatImages, EditStatus::NoData);
    if (!e.TempName.empty()) return Outcome(kCatImages, EditStatus::AlreadyReplaced);
    if (e.Deleted) return Outcome(kCatImages, EditStatus::EntryDeleted);
    if (e.Kind != kRaw16 && e.Kind != kWbmp && e.Kind != k09) return Outcome(kCatImages, EditStatus::UnsupportedKind);
    const std::string ext = UpperAscii(HostExtension(source));
    if (std::none_of(std::begin(kPictureExtensions), std::end(kPictureExtensions),
                     [&ext](const std::string& known) { return ext.find(known.substr(1)) != std::string::npos; }))
        return Outcome(kCatImages, EditStatus::WrongFileType);

    // The reader follows the file's content, so a PNG named ".bmp" loads too.
    Picture loaded;
    std::string detail;
    if (!LoadPictureFile(source).Take(loaded, &detail)) return Outcome(kCatImages, EditStatus::SourceUnreadable, detail);
    if (loaded.Width <= 0 || loaded.Height <= 0)
        return Outcome(kCatImages, EditStatus::SourceUnreadable, source + ": an empty picture");
    Picture pic;
    if (fit) {
        // The entry's own slot, where the firmware has a sensible one.
        const int32_t boxW = e.Width > 0 ? std::min(e.Width, kMaxSide) : kMaxSide;
        const int32_t boxH = e.Height > 0 ? std::min(e.Height, kMaxSide) : kMaxSide;
        pic = FitPicture(loaded, boxW, boxH, 0);
    } else {
        pic = Picture(std::min(loaded.Width, kMaxSide), std::min(loaded.Height, kMaxSide));
        for (int32_t y = 0; y < pic.Height; ++y)
            for (int32_t x = 0; x < pic.Width; ++x) pic.At(x, y) = loaded.At(x, y);
    }
    const int32_t w = pic.Width, h = pic.Height;

    std::string data;
    if (e.Kind == kRaw16) EncodeRaw16(pic, w, h, data);
    else if (e.Kind == kWbmp) EncodeWbmp(pic, w, h, data);
    else Encode09(pic, w, h, data, 0, 0);

    const std::string name = ReplacementName(kCatImages, index);
    if (EditStatus s = WriteReplacement(st, TempPath(st, name), U16Le(w) + U16Le(h) + data, &detail);
        s != EditStatus::Ok)
        return Outcome(kCatImages, s, detail);
    e.TempName = name;
    e.Deleted = false;
    AddUsed(st, kCatImages, static_cast<int64_t>(data.size()) - e.Size);
    EditResult r = Outcome(kCatImages, EditStatus::Ok);
    r.Rows = {index};
    return r;
}

EditResult ReplaceSound(FirmwareState& st, int32_t index, const std::string& source, int sampleRate) {
    if (!st.FirmwareLoaded) return Outcome(kCatSounds, EditStatus::NotLoaded);
    auto& sounds = st.Firmware.Sounds;
    if (!ValidIndex(index, sounds.size())) return Outcome(kCatSounds, EditStatus::NoEntry);
    tSndType& e = sounds[index];
    if (e.Link != -1) return Outcome(kCatSounds, EditStatus::Linked);
    if (!e.TempName.empty()) return Outcome(kCatSounds, EditStatus::AlreadyReplaced);
    if (e.Deleted) return Outcome(kCatSounds, EditStatus::EntryDeleted);
    const std::string tail = UpperAscii(source.size() >= 4 ? source.substr(source.size() - 4) : source);
    const SoundConverter& converter = RegisteredSoundConverter();
    const bool audio = tail != ".MMF" && converter.Accepts && converter.Convert && converter.Accepts(source);
    if (tail != ".MMF" && !audio) return Outcome(kCatSounds, EditStatus::WrongFileType);

    std::string bytes, detail;
    if (audio) {
        // Room for the entry: the region's free bytes plus what it holds now.
        uint64_t room = 0;
        if (HasRegion(st, kCatSounds)) {
            const MemoryRegion& region = st.Firmware.Regions[kCatSounds];
            const int64_t free = region.Range.Length - region.Used + e.Size;
            room = free > 0 ? static_cast<uint64_t>(free) : 1;
        }
        auto smaf = converter.Convert(source, sampleRate);
        if (!smaf) return Outcome(kCatSounds, EditStatus::SourceUnreadable, smaf.Error());
        if (room && smaf->size() > room)
            return Outcome(kCatSounds, EditStatus::SourceTooLarge,
                           source + ": converted it takes " + std::to_string(smaf->size()) + " bytes, more than the " +
                               std::to_string(room) + " bytes there is room for");
        bytes.assign(smaf->begin(), smaf->end());
    } else if (EditStatus s = ReadSourceFile(source, bytes, &detail); s != EditStatus::Ok) {
        return Outcome(kCatSounds, s, detail);
    }
    const std::string name = ReplacementName(kCatSounds, index);
    if (EditStatus s = WriteReplacement(st, TempPath(st, name), bytes, &detail); s != EditStatus::Ok)
        return Outcome(kCatSounds, s, detail);
    e.TempName = name;
    AddUsed(st, kCatSounds, static_cast<int64_t>(bytes.size()) - e.Size);
    EditResult r = Outcome(kCatSounds, EditStatus::Ok);
    r.Rows = {index};
    return r;
}

namespace {

// What an entry counts in the Java region now: its replacement's size, 0
// when deleted, else its own Size; -1 when its replacement file is gone.
int64_t JavaShare(const FirmwareState& st, const tJavaType& e) {
    if (!e.TempName.empty()) return ReplacementDataSize(st, kCatJava, e.TempName);
    return e.Deleted ? 0 : e.Size;
}

EditResult ReplaceJavaPair(FirmwareState& st, int32_t index, const std::string& source) {
    auto& apps = st.Firmware.JavaApps;
    if (!IsJavaSuiteFile(apps[index])) return Outcome(kCatJava, EditStatus::NotJavaSuite);
    const int32_t partner = JavaPartner(st, index);
    if (partner < 0) return Outcome(kCatJava, EditStatus::NoPartner);
    if (!apps[index].TempName.empty()) return Outcome(kCatJava, EditStatus::AlreadyReplaced);
    if (apps[index].Deleted) return Outcome(kCatJava, EditStatus::EntryDeleted);
    const std::string base = source.substr(0, source.size() - 4);
    const std::string jarPath = FindSibling(base, ".jar");
    if (jarPath.empty()) return Outcome(kCatJava, EditStatus::NoJarBeside, base + ".jar");

    const bool selectedIsJar = UpperAscii(apps[index].Path).find(".JAR") != std::string::npos;
    const int32_t jarIndex = selectedIsJar ? index : partner;
    const int32_t jadIndex = selectedIsJar ? partner : index;
    // The partner may itself be replaced or deleted: take away what it
    // counts now, not its stored Size, so Used stays exact.
    const int64_t jadShare = JavaShare(st, apps[jadIndex]), jarShare = JavaShare(st, apps[jarIndex]);
    if (jadShare < 0 || jarShare < 0) return Outcome(kCatJava, EditStatus::ReplacementMissing);

    std::string jad, jar, detail;
    if (EditStatus s = ReadSourceFile(source, jad, &detail); s != EditStatus::Ok) return Outcome(kCatJava, s, detail);
    if (EditStatus s = ReadSourceFile(jarPath, jar, &detail); s != EditStatus::Ok) return Outcome(kCatJava, s, detail);
    // Reads the JAD as chosen; passing no JAR keeps the user's file unchanged.
    const std::string suite = JadSuiteName(source, "");

    // Both files or neither: stage them, then move both into place.
    const std::string jadName = ReplacementName(kCatJava, jadIndex), jarName = ReplacementName(kCatJava, jarIndex);
    const std::string jadFinal = TempPath(st, jadName), jarFinal = TempPath(st, jarName);
    const std::string jadStage = jadFinal + ".new", jarStage = jarFinal + ".new";
    EditStatus s = WriteReplacement(st, jadStage, jad, &detail);
    if (s == EditStatus::Ok) s = WriteReplacement(st, jarStage, jar, &detail);
    if (s == EditStatus::Ok && std::rename(jadStage.c_str(), jadFinal.c_str()) != 0) {
        s = EditStatus::WriteFailed;
        detail = jadFinal + ": cannot be moved into place";
    } else if (s == EditStatus::Ok && std::rename(jarStage.c_str(), jarFinal.c_str()) != 0) {
        // Both files sit in one folder, so this hardly happens; the JAD side
        // is then taken back so that the pair stays as it was.
        s = EditStatus::WriteFailed;
        detail = jarFinal + ": cannot be moved into place";
        if (apps[jadIndex].TempName.empty()) std::remove(jadFinal.c_str());
        else detail += "; the partner's earlier replacement was overwritten";
    }
    std::remove(jadStage.c_str());
    std::remove(jarStage.c_str());
    if (s != EditStatus::Ok) return Outcome(kCatJava, s, detail);

    tJavaType& jadEntry = apps[jadIndex];
    jadEntry.TempName = jadName;
    jadEntry.NewPath = "e:\\S100\\" + suite + ".jad";
    jadEntry.Deleted = false;
    tJavaType& jarEntry = apps[jarIndex];
    jarEntry.TempName = jarName;
    jarEntry.NewPath = "e:\\S100\\" + suite + ".jar";
    jarEntry.Deleted = false;
    AddUsed(st, kCatJava, static_cast<int64_t>(jad.size()) - jadShare + static_cast<int64_t>(jar.size()) - jarShare);
    EditResult r = Outcome(kCatJava, EditStatus::Ok);
    r.Rows = {jadIndex, jarIndex};
    return r;
}

EditResult ReplaceJavaFile(FirmwareState& st, int32_t index, const std::string& source) {
    tJavaType& e = st.Firmware.JavaApps[index];
    if (UpperAscii(FirmwareExtension(e.Path)) != UpperAscii(HostExtension(source)))
        return Outcome(kCatJava, EditStatus::WrongFileType);
    if (!e.TempName.empty()) return Outcome(kCatJava, EditStatus::AlreadyReplaced);
    if (e.Deleted) return Outcome(kCatJava, EditStatus::EntryDeleted);
    std::string bytes, detail;
    if (EditStatus s = ReadSourceFile(source, bytes, &detail); s != EditStatus::Ok) return Outcome(kCatJava, s, detail);
    const std::string name = ReplacementName(kCatJava, index);
    if (EditStatus s = WriteReplacement(st, TempPath(st, name), bytes, &detail); s != EditStatus::Ok)
        return Outcome(kCatJava, s, detail);
    e.TempName = name;
    e.NewPath = "e:\\S100\\" + EscapeName(BaseName(source));
    e.Deleted = false;
    AddUsed(st, kCatJava, static_cast<int64_t>(bytes.size()) - e.Size);
    EditResult r = Outcome(kCatJava, EditStatus::Ok);
    r.Rows = {index};
    return r;
}

}  // namespace

EditResult ReplaceJava(FirmwareState& st, int32_t index, const std::string& source) {
    if (!st.FirmwareLoaded) return Outcome(kCatJava, EditStatus::NotLoaded);
    if (!ValidIndex(index, st.Firmware.JavaApps.size())) return Outcome(kCatJava, EditStatus::NoEntry);
    if (UpperAscii(HostExtension(source)).find(".JAD") != std::string::npos) return ReplaceJavaPair(st, index, source);
    return ReplaceJavaFile(st, index, source);
}

EditResult ReplaceEntry(FirmwareState& st, int32_t category, int32_t index, const std::string& source,
                        bool fit, int sampleRate) {
    switch (category) {
        case kCatImages: return ReplacePicture(st, index, source, fit);
        case kCatSounds: return ReplaceSound(st, index, source, sampleRate);
        case kCatJava: return ReplaceJava(st, index, source);
        default: return Outcome(category, st.FirmwareLoaded ? EditStatus::WrongCategory : EditStatus::NotLoaded);
    }
}

namespace {

SoundConverter& ConverterSlot() {
    static SoundConverter converter;
    return converter;
}

}  // namespace

void SetSoundConverter(SoundConverter converter) { ConverterSlot() = std::move(converter); }
const SoundConverter& RegisteredSoundConverter() { return ConverterSlot(); }

bool DropAccepted(int32_t category, const std::string& path) {
    const std::string ext = UpperAscii(HostExtension(path));
    const SoundConverter& converter = RegisteredSoundConverter();
    switch (category) {
        case kCatImages:
            return std::find(std::begin(kPictureExtensions), std::end(kPictureExtensions), ext) !=
                   std::end(kPictureExtensions);
        case kCatSounds: return ext == ".MMF" || (converter.Accepts && converter.Accepts(path));
        case kCatJava: return true;
        default: return false;
    }
}

}  // namespace flashsmith::editing
