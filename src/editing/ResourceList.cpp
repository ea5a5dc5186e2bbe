#include "editing/ResourceList.h"

#include <algorithm>

#include "base/FileUtil.h"
#include "base/Cp1251.h"
#include "firmware/JavaNames.h"

namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

LanguageRef LanguageOf(const FirmwareState& st, int32_t category) {
    const int32_t count = st.FirmwareDescription.LanguageCount;
    if (count <= 0 || category < kCatFirstLanguage) return {};
    int32_t k = category - kCatFirstLanguage;
    if (k < count) return {1, k};
    if (k < 2 * count) return {2, k - count};
    return {};
}

int32_t LanguageCategory(const FirmwareState& st, int table, int32_t lang) {
    return kCatFirstLanguage + (table == 2 ? st.FirmwareDescription.LanguageCount : 0) + lang;
}

const pStringType* StringsOf(const FirmwareState& st, int32_t category) {
    LanguageRef ref = LanguageOf(st, category);
    if (!ref.Table) return nullptr;
    const auto& lists = ref.Table == 1 ? st.Firmware.Strings1 : st.Firmware.Strings2;
    return ref.Lang < static_cast<int32_t>(lists.size()) ? &lists[ref.Lang] : nullptr;
}

pStringType* StringsOf(FirmwareState& st, int32_t category) {
    return const_cast<pStringType*>(StringsOf(static_cast<const FirmwareState&>(st), category));
}

uint32_t RowColourRgb(RowColour colour) {
    switch (colour) {
        case RowColour::Deleted: return 0xFF6060;
        case RowColour::Changed: return 0x08B018;
        case RowColour::Borrowed: return 0xCD40CD;
        case RowColour::Linked: return 0x40CDCD;
        default: return 0;
    }
}

int32_t RowCount(const FirmwareState& st, int32_t category) {
    switch (category) {
        case kCatImages: return static_cast<int32_t>(st.Firmware.Images.size());
        case kCatSounds: return static_cast<int32_t>(st.Firmware.Sounds.size());
        case kCatJava: return static_cast<int32_t>(st.Firmware.JavaApps.size());
        default: {
            const pStringType* list = StringsOf(st, category);
            return list ? static_cast<int32_t>(list->size()) : 0;
        }
    }
}

std::string ImageRowName(const FirmwareState& st, int32_t index) {
    const tImgType& img = st.Firmware.Images[index];
    const size_t id = static_cast<size_t>(img.ID + 1);
    if (img.ID + 1 > 0 && id < st.ImageIdNames.size() && !st.ImageIdNames[id].Name.empty())
        return st.ImageIdNames[id].Name;
    return "Image_" + std::to_string(index + 1);
}

namespace {

bool Blank(const std::string& s) {
    for (char c : s)
        if (c != ' ') return false;
    return true;
}

int64_t TempSize(const FirmwareState& st, const std::string& name) {
    int64_t n = FileSizeOf(st.TempDir + name);
    return n < 0 ? 0 : n;
}

}  // namespace

ListRow MakeListRow(const FirmwareState& st, int32_t category, int32_t index) {
    ListRow row;
    if (index < 0 || index >= RowCount(st, category)) return row;
    if (category == kCatImages) {
        const tImgType& e = st.Firmware.Images[index];
        row.Name = ImageRowName(st, index);
        row.Size = std::to_string(e.Deleted ? 0 : !e.TempName.empty() ? std::max<int64_t>(TempSize(st, e.TempName) - 4, 0) : e.Size);
        row.Id = std::to_string(e.ID + 1);
        row.Icon = 0;
        row.Colour = e.Deleted ? RowColour::Deleted
                     : !Blank(e.TempName) ? RowColour::Changed
                     : e.Link >= 0 ? RowColour::Linked : RowColour::Normal;
    } else if (category == kCatSounds) {
        const tSndType& e = st.Firmware.Sounds[index];
        row.Name = "Sound_" + std::to_string(index + 1);
        row.Size = std::to_string(e.Deleted ? 0 : !e.TempName.empty() ? TempSize(st, e.TempName) : e.Size);
        row.Id = std::to_string(index);
        row.Icon = 1;
        row.Colour = e.Deleted ? RowColour::Deleted
                     : !Blank(e.TempName) ? RowColour::Changed
                     : e.Link >= 0 ? RowColour::Linked : RowColour::Normal;
    } else if (category == kCatJava) {
        const tJavaType& e = st.Firmware.JavaApps[index];
        row.Name = UnescapeName(e.TempName.empty() ? e.Path : e.NewPath);
        row.Size = std::to_string(e.Deleted ? 0 : !e.TempName.empty() ? TempSize(st, e.TempName) : e.Size);
        row.Id = std::to_string(index);
        row.Icon = 2;
        row.Colour = e.Deleted ? RowColour::Deleted : !Blank(e.TempName) ? RowColour::Changed : RowColour::Normal;
    } else {
        const tStringType& s = (*StringsOf(st, category))[index];
        const std::string& shown = s.NewText.empty() ? s.Text : s.NewText;
        row.Name = AnsiFromUtf8(shown);
        row.Size = s.Deleted ? "0" : std::to_string(shown.size() + 1);
        row.Id = std::to_string(s.Link) + " " + std::to_string(s.HomeLang);
        row.Icon = 3;
        row.Colour = s.Deleted ? RowColour::Deleted
                     : !Blank(s.NewText) ? RowColour::Changed
                     : s.HomeLang >= 0 ? RowColour::Borrowed
                     : s.Link >= 0 ? RowColour::Linked : RowColour::Normal;
    }
    return row;
}

}  // namespace flashsmith::editing
