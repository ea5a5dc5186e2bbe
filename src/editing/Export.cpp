#include "editing/Export.h"

#include "editing/ResourceList.h"
#include "base/FileUtil.h"
#include "firmware/Images.h"
#include "firmware/JavaNames.h"
#include "firmware/PictureFile.h"

namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

std::string SafeFileName(const std::string& name, const std::string& fallback) {
    std::string out;
    for (char c : name) out += (c == '/' || c == '\0') ? '_' : c;
    if (out.empty() || out == "." || out == "..") return fallback;
    return out;
}

std::string SoundExportStem(int32_t index) { return "Sound_" + std::to_string(index + 1); }

bool DecodeStoredPicture(const FirmwareState& st, int32_t index, Picture& out) {
    const auto& images = st.Firmware.Images;
    if (!st.FirmwareFile || index < 0 || index >= static_cast<int32_t>(images.size())) return false;
    const tImgType* e = &images[index];
    if (e->Link >= 0 && e->Link < static_cast<int32_t>(images.size())) e = &images[e->Link];
    if (e->Width <= 0 || e->Height <= 0 || static_cast<int64_t>(e->Width) * e->Height > kMaxPicturePixels)
        return false;
    Picture pic(e->Width, e->Height);
    if (DecodePicture(e->Kind, *st.FirmwareFile, e->Address, e->Width, e->Height, pic) == 0) return false;
    out = std::move(pic);
    return true;
}

namespace {

// Export names come from the firmware's own tables; the image being edited
// must never be replaced by one of its resources.
bool RefuseOpenImage(const FirmwareState& st, ExportResult& r) {
    if (!SameFile(r.Path, st.FirmwarePath)) return false;
    r.Status = ExportStatus::WriteFailed;
    r.Error = r.Path + ": is the open firmware image";
    return true;
}

ExportResult CopyOut(const FirmwareState& st, int64_t address, int32_t size, const std::string& path) {
    ExportResult r;
    r.Path = path;
    if (RefuseOpenImage(st, r)) return r;
    std::string_view data = st.FirmwareFile->View(address, static_cast<size_t>(size));
    if (static_cast<int64_t>(data.size()) != size) {
        r.Status = ExportStatus::NothingToExport;
        r.Error = "the data lies past the end of the image";
        return r;
    }
    if (!WriteFileAtomic(path, data).Ok(&r.Error)) r.Status = ExportStatus::WriteFailed;
    return r;
}

}  // namespace

ExportResult ExportResource(const FirmwareState& st, int32_t category, int32_t index,
                            const std::string& folder, PictureExport format) {
    ExportResult r;
    if (!st.FirmwareLoaded || !st.FirmwareFile || index < 0 || index >= RowCount(st, category) ||
        category > kCatJava) {
        r.Status = ExportStatus::NothingToExport;
        return r;
    }
    if (category == kCatImages) {
        Picture pic;
        const std::string name = SafeFileName(ImageRowName(st, index), "Image_" + std::to_string(index + 1));
        r.Path = JoinPath(folder, name + (format == PictureExport::Jpeg  ? ".jpg"
                                          : format == PictureExport::Png ? ".png"
                                                                         : ".bmp"));
        if (RefuseOpenImage(st, r)) return r;
        if (!DecodeStoredPicture(st, index, pic)) {
            r.Status = ExportStatus::DecodeFailed;
            r.Error = "the picture cannot be decoded";
            return r;
        }
        const Status saved = format == PictureExport::Jpeg  ? SaveJpeg(r.Path, pic, 100)
                             : format == PictureExport::Png ? SavePng(r.Path, pic)
                                                            : SaveBmp32(r.Path, pic);
        if (!saved) {
            r.Status = ExportStatus::WriteFailed;
            r.Error = saved.Error();
        }
        return r;
    }
    if (category == kCatSounds) {
        const tSndType& s = st.Firmware.Sounds[index];
        if (s.Size == 0) {
            r.Status = ExportStatus::NothingToExport;
            return r;
        }
        return CopyOut(st, s.Address, s.Size,
                       JoinPath(folder, SoundExportStem(index) + ".mmf"));
    }
    const tJavaType& j = st.Firmware.JavaApps[index];
    if (j.Size == 0) {
        r.Status = ExportStatus::NothingToExport;
        return r;
    }
    std::string path = UnescapeName(j.Path);
    std::string name = path.substr(path.find_last_of('\\') + 1);
    return CopyOut(st, j.Address, j.Size,
                   JoinPath(folder, SafeFileName(name, "Java_" + std::to_string(index))));
}

}  // namespace flashsmith::editing
