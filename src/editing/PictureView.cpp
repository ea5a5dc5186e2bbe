#include "editing/PictureView.h"

#include <algorithm>

#include "editing/EditInternal.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"
#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"

namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

using namespace detail;

namespace {

// Table sizes come from 16-bit fields; a preview never needs more than this.
constexpr int64_t kMaxPreviewPixels = int64_t(1) << 22;

// A pixel value decoding never produces, to see what a decoder left out.
constexpr uint32_t kUntouched = 0xFF000000;

bool ReadReplacement(const FirmwareState& st, const std::string& tempName, std::string& bytes) {
    return !tempName.empty() && ReadWholeFile(TempPath(st, tempName), bytes) && bytes.size() >= 4;
}

int32_t HeaderSide(const std::string& bytes, int offset) {
    return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1]) << 8;
}

EditResult ChangedRow(int32_t index) {
    EditResult r = Outcome(kCatImages, EditStatus::Ok);
    r.Rows = {index};
    return r;
}

EditStatus CheckPicture(const FirmwareState& st, int32_t index) {
    if (!st.FirmwareLoaded) return EditStatus::NotLoaded;
    return ValidIndex(index, st.Firmware.Images.size()) ? EditStatus::Ok : EditStatus::NoEntry;
}

}  // namespace

PicturePreview PreviewPicture(const FirmwareState& st, int32_t index) {
    PicturePreview p;
    const auto& images = st.Firmware.Images;
    if (!st.FirmwareLoaded || !ValidIndex(index, images.size())) return p;
    const tImgType* e = &images[index];
    if (e->Link >= 0 && ValidIndex(e->Link, images.size())) e = &images[e->Link];
    p.Kind = e->Kind;
    p.HasTransp = e->HasTransp;
    p.TranspColor = static_cast<uint32_t>(e->TranspColor);
    p.Transparent = static_cast<uint32_t>(st.FirmwareDescription.Transparent);

    std::string bytes;
    std::unique_ptr<BinFile> replacement;
    const BinFile* source = st.FirmwareFile.get();
    int64_t address = e->Address;
    if (e->TempName.empty() || e->Deleted) {
        p.Width = e->Width;
        p.Height = e->Height;
    } else if (ReadReplacement(st, e->TempName, bytes)) {
        p.Width = std::min(HeaderSide(bytes, 0), kMaxPictureSideEdit);
        p.Height = std::min(HeaderSide(bytes, 2), kMaxPictureSideEdit);
        replacement = BinFile::FromBytes(std::move(bytes));
        source = replacement.get();
        address = 4;
        p.FromReplacement = true;
    } else {
        return p;  // the replacement file is gone or shorter than its header
    }
    if (!source || p.Width <= 0 || p.Height <= 0 || static_cast<int64_t>(p.Width) * p.Height > kMaxPreviewPixels)
        return p;
    p.Pic = Picture(p.Width, p.Height);
    ClearPicture(p.Pic);
    p.Ok = DecodePicture(p.Kind, *source, address, p.Width, p.Height, p.Pic) > 0;
    return p;
}

EditResult ChangePictureFormat(FirmwareState& st, int32_t index, int32_t kind) {
    if (EditStatus s = CheckPicture(st, index); s != EditStatus::Ok) return Outcome(kCatImages, s);
    if (kind < kRaw8 || kind > k09) return Outcome(kCatImages, EditStatus::UnsupportedKind);
    tImgType& e = st.Firmware.Images[index];
    tImgType probe = e;  // the geometry the new size is computed for
    probe.Kind = kind;
    std::string bytes;
    const bool replaced = !e.TempName.empty() && FileExists(TempPath(st, e.TempName));
    if (replaced) {
        if (!ReadReplacement(st, e.TempName, bytes)) return Outcome(kCatImages, EditStatus::ReplacementMissing, e.TempName);
        probe.Width = HeaderSide(bytes, 0);
        probe.Height = HeaderSide(bytes, 2);
    }
    int32_t size;
    if (replaced && kind == k09) {
        // Measured as a decode into a 321 x 321 work picture would count it.
        auto file = BinFile::FromBytes(std::move(bytes));
        size = probe.Width > 321 || probe.Height > 321 ? 0 : Measure09(*file, 4, probe.Width, probe.Height);
    } else if (st.FirmwareFile) {
        size = PictureSize(*st.FirmwareFile, probe);
    } else {
        size = 0;
    }
    if (e.Kind == kind && e.Size == size) return Outcome(kCatImages, EditStatus::NothingToDo);
    e.Kind = kind;
    e.Size = size;
    return ChangedRow(index);
}

EditResult StepPictureSide(FirmwareState& st, int32_t index, SizeAxis axis, int32_t value) {
    if (EditStatus s = CheckPicture(st, index); s != EditStatus::Ok) return Outcome(kCatImages, s);
    if (value < 1 || value > kMaxPictureSideEdit) return Outcome(kCatImages, EditStatus::OutOfRange);
    tImgType& e = st.Firmware.Images[index];
    const int offset = axis == SizeAxis::Width ? 0 : 2;
    if (e.TempName.empty()) {
        int32_t& side = axis == SizeAxis::Width ? e.Width : e.Height;
        if (side == value) return Outcome(kCatImages, EditStatus::NothingToDo);
        side = value;
        return ChangedRow(index);
    }
    std::string bytes;
    if (!ReadReplacement(st, e.TempName, bytes)) return Outcome(kCatImages, EditStatus::ReplacementMissing, e.TempName);
    if (HeaderSide(bytes, offset) == value) return Outcome(kCatImages, EditStatus::NothingToDo);
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
    if (Status s = WriteFileAtomic(TempPath(st, e.TempName), bytes); !s)
        return Outcome(kCatImages, EditStatus::WriteFailed, s.Error());
    return ChangedRow(index);
}

std::string CleanSizeText(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c >= '0' && c <= '9') out += c;
    return out;
}

EditResult EnterPictureSide(FirmwareState& st, int32_t index, SizeAxis axis, const std::string& text,
                            std::string* cleaned) {
    const std::string digits = CleanSizeText(text);
    if (cleaned) *cleaned = digits;
    if (EditStatus s = CheckPicture(st, index); s != EditStatus::Ok) return Outcome(kCatImages, s);
    int64_t value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > kMaxPictureSideEdit) return Outcome(kCatImages, EditStatus::OutOfRange);
    }
    if (digits.empty()) value = 1;
    return StepPictureSide(st, index, axis, static_cast<int32_t>(value));
}

EditStatus CanPickTransparent(const FirmwareState& st, int32_t index) {
    if (EditStatus s = CheckPicture(st, index); s != EditStatus::Ok) return s;
    const tImgType& e = st.Firmware.Images[index];
    if (e.TempName.empty() || !FileExists(TempPath(st, e.TempName)) || e.Kind != k09) return EditStatus::NotReplaced09;
    return EditStatus::Ok;
}

bool PickInsidePicture(const FirmwareState& st, int32_t index, int32_t x, int32_t y) {
    if (!ValidIndex(index, st.Firmware.Images.size())) return false;
    const tImgType& e = st.Firmware.Images[index];
    return x >= 0 && y >= 0 && x < e.Width && y < e.Height;
}

EditStatus RecolourReplacement(const std::string& path, uint32_t oldColour, uint32_t newColour, std::string* detail) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes).Ok(detail) || bytes.size() < 4) {
        if (detail && detail->empty()) *detail = path + ": shorter than its header";
        return EditStatus::ReplacementMissing;
    }
    const int32_t w = HeaderSide(bytes, 0), h = HeaderSide(bytes, 2);
    if (w <= 0 || h <= 0 || w > kMaxPictureSideEdit || h > kMaxPictureSideEdit) {
        if (detail) *detail = path + ": unusable picture size";
        return EditStatus::ReplacementMissing;
    }
    // Re-encoding a picture the data does not fully cover would store the
    // gaps as real pixels: refuse rather than corrupt the replacement.
    Picture pic(w, h, kUntouched);
    auto file = BinFile::FromBytes(bytes);
    if (Decode09(*file, 4, w, h, pic) == 0 ||
        std::find(pic.Pixels.begin(), pic.Pixels.end(), kUntouched) != pic.Pixels.end()) {
        if (detail) *detail = path + ": the picture data is truncated or not \"09\"";
        return EditStatus::ReplacementMissing;
    }
    std::string encoded;
    Encode09(pic, w, h, encoded, newColour, oldColour);
    if (!WriteFileAtomic(path, bytes.substr(0, 4) + encoded).Ok(detail)) return EditStatus::WriteFailed;
    return EditStatus::Ok;
}

EditResult ApplyTransparentColour(FirmwareState& st, int32_t index, uint32_t colour) {
    if (EditStatus s = CanPickTransparent(st, index); s != EditStatus::Ok) return Outcome(kCatImages, s);
    tImgType& e = st.Firmware.Images[index];
    std::string detail;
    colour &= 0xFFFFFF;
    const uint32_t transparent = static_cast<uint32_t>(st.FirmwareDescription.Transparent) & 0xFFFFFF;
    if (EditStatus s = RecolourReplacement(TempPath(st, e.TempName), colour, transparent, &detail); s != EditStatus::Ok)
        return Outcome(kCatImages, s, detail);
    e.HasTransp = true;
    e.TranspColor = static_cast<int32_t>(colour);
    return ChangedRow(index);
}

EditResult RemoveTransparentColour(FirmwareState& st, int32_t index) {
    if (EditStatus s = CheckPicture(st, index); s != EditStatus::Ok) return Outcome(kCatImages, s);
    tImgType& e = st.Firmware.Images[index];
    if (!e.HasTransp) return Outcome(kCatImages, EditStatus::NoTransparency);
    if (e.TempName.empty()) return Outcome(kCatImages, EditStatus::ReplacementMissing);
    std::string detail;
    const uint32_t transparent = static_cast<uint32_t>(st.FirmwareDescription.Transparent) & 0xFFFFFF;
    if (EditStatus s = RecolourReplacement(TempPath(st, e.TempName), transparent,
                                           static_cast<uint32_t>(e.TranspColor) & 0xFFFFFF, &detail);
        s != EditStatus::Ok)
        return Outcome(kCatImages, s, detail);
    e.HasTransp = false;
    return ChangedRow(index);
}

}  // namespace flashsmith::editing
