#include "patches/AppliedPatches.h"

#include <algorithm>
#include <cstdio>

#include "editing/ResourceList.h"
#include "editing/TempFiles.h"
#include "base/FileUtil.h"

namespace flashsmith::patches {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

namespace {

void Put(std::string& out, int64_t v) { out += std::to_string(v) + ','; }
void Put(std::string& out, const std::string& s) { out += std::to_string(s.size()) + ':' + s; }

// Everything an entry's pending edit consists of, its replacement file's
// bytes included, so that any later change to it shows.
std::string EntryState(const FirmwareState& st, int32_t category, int32_t index) {
    std::string out;
    auto file = [&](const std::string& tempName) {
        std::string bytes;
        if (!tempName.empty()) ReadWholeFile(TempPath(st, tempName), bytes);
        Put(out, tempName);
        Put(out, bytes);
    };
    const tFirmware& fw = st.Firmware;
    switch (category) {
        case kCatImages: {
            const tImgType& e = fw.Images[static_cast<size_t>(index)];
            for (int64_t v : {int64_t(e.Size), int64_t(e.Address), int64_t(e.Kind), int64_t(e.Width), int64_t(e.Height),
                              int64_t(e.Link), int64_t(e.TranspColor), int64_t(e.Deleted), int64_t(e.HasTransp)})
                Put(out, v);
            file(e.TempName);
            break;
        }
        case kCatSounds: {
            const tSndType& e = fw.Sounds[static_cast<size_t>(index)];
            for (int64_t v : {int64_t(e.Size), int64_t(e.Address), int64_t(e.Link), int64_t(e.Deleted)}) Put(out, v);
            file(e.TempName);
            break;
        }
        case kCatJava: {
            const tJavaType& e = fw.JavaApps[static_cast<size_t>(index)];
            for (int64_t v : {int64_t(e.Size), int64_t(e.Address), int64_t(e.Deleted)}) Put(out, v);
            Put(out, e.NewPath);
            file(e.TempName);
            break;
        }
        default: {
            const tStringType& e = (*StringsOf(st, category))[static_cast<size_t>(index)];
            for (int64_t v : {int64_t(e.Address), int64_t(e.Link), int64_t(e.HomeLang), int64_t(e.Deleted)})
                Put(out, v);
            Put(out, e.NewText);
            break;
        }
    }
    return out;
}

bool EntryExists(const FirmwareState& st, int32_t category, int32_t index) {
    return index >= 0 && index < RowCount(st, category);
}

// What an entry adds to its region's use: nothing when deleted or sharing
// another's data, else its replacement's size or its own.
template <typename Entry>
int64_t Counted(const FirmwareState& st, int32_t category, const Entry& e, bool link) {
    if (e.Deleted || link) return 0;
    if (!e.TempName.empty()) {
        const int64_t size = ReplacementDataSize(st, category, e.TempName);
        if (size >= 0) return size;
    }
    return e.Size;
}

template <typename Entry>
bool IsLink(const Entry& e) {
    if constexpr (requires { e.Link; }) return e.Link >= 0;
    return false;
}

// Gives entry i of a picture, sound or Java list its own record back, its
// replacement file deleted and its region's use corrected.
template <typename Entry>
bool ReturnToOwn(FirmwareState& st, int32_t category, std::vector<Entry>& list, const std::vector<Entry>& own,
                 size_t i) {
    if (i >= own.size() || i >= list.size()) return false;
    Entry& e = list[i];
    AddUsed(st, category, Counted(st, category, own[i], IsLink(own[i])) - Counted(st, category, e, IsLink(e)));
    if (!e.TempName.empty()) std::remove(TempPath(st, e.TempName).c_str());
    e = own[i];
    return true;
}

}  // namespace

void AppliedPatches::Reset(const FirmwareState& state) {
    applied_.clear();
    own_ = state.Firmware;
    own_.Regions.clear();
    haveOwn_ = state.FirmwareLoaded;
}

OpenSpfResult AppliedPatches::Apply(FirmwareState& state, const std::string& path) {
    OpenSpfResult r = OpenSpf(state, path);
    if (!haveOwn_ || r.Changed.empty()) return r;
    Applied a;
    a.Path = path;
    for (const auto& changed : r.Changed) {
        // Plain copies: Clang 14 cannot capture structured bindings in a lambda.
        const auto category = changed.first;
        const auto index = changed.second;
        const bool seen = std::any_of(a.Marks.begin(), a.Marks.end(),
                                      [&](const Mark& m) { return m.Category == category && m.Index == index; });
        if (!seen && EntryExists(state, category, index))
            a.Marks.push_back({category, index, EntryState(state, category, index)});
    }
    applied_.push_back(std::move(a));
    return r;
}

bool AppliedPatches::IsApplied(const std::string& path) const {
    return std::any_of(applied_.begin(), applied_.end(), [&](const Applied& a) { return a.Path == path; });
}

bool AppliedPatches::Restore(FirmwareState& st, const Mark& m) const {
    const size_t i = static_cast<size_t>(m.Index);
    switch (m.Category) {
        case kCatImages: return ReturnToOwn(st, kCatImages, st.Firmware.Images, own_.Images, i);
        case kCatSounds: {
            const bool deleted = i < own_.Sounds.size() && st.Firmware.Sounds[i].Deleted;
            if (!ReturnToOwn(st, kCatSounds, st.Firmware.Sounds, own_.Sounds, i)) return false;
            if (deleted) --st.DeletedSoundCount;
            return true;
        }
        case kCatJava: return ReturnToOwn(st, kCatJava, st.Firmware.JavaApps, own_.JavaApps, i);
        default: {
            const LanguageRef ref = LanguageOf(st, m.Category);
            const auto& lists = ref.Table == 1 ? own_.Strings1 : own_.Strings2;
            if (!ref.Table || static_cast<size_t>(ref.Lang) >= lists.size() ||
                i >= lists[static_cast<size_t>(ref.Lang)].size())
                return false;
            tStringType& e = (*StringsOf(st, m.Category))[i];
            const tStringType& own = lists[static_cast<size_t>(ref.Lang)][i];
            const auto counted = [](const tStringType& s) -> int64_t {
                if (s.Deleted || s.Link >= 0) return 0;
                return static_cast<int64_t>((s.NewText.empty() ? s.Text : s.NewText).size()) + 1;
            };
            AddUsed(st, m.Category, counted(own) - counted(e));
            e = own;
            return true;
        }
    }
}

AppliedPatches::CancelResult AppliedPatches::Cancel(FirmwareState& state, const std::vector<std::string>& paths) {
    CancelResult result;
    if (!state.FirmwareLoaded) return result;
    for (size_t k = applied_.size(); k-- > 0;) {
        if (std::find(paths.begin(), paths.end(), applied_[k].Path) == paths.end()) continue;
        for (const Mark& m : applied_[k].Marks) {
            if (!EntryExists(state, m.Category, m.Index) || EntryState(state, m.Category, m.Index) != m.State) continue;
            // Links a patch merely repeats leave the entry as it was.
            if (!Restore(state, m) || EntryState(state, m.Category, m.Index) == m.State) continue;
            ++result.Entries;
            if (std::find(result.Categories.begin(), result.Categories.end(), m.Category) == result.Categories.end())
                result.Categories.push_back(m.Category);
        }
        applied_.erase(applied_.begin() + static_cast<std::ptrdiff_t>(k));
        ++result.Patches;
    }
    return result;
}

}  // namespace flashsmith::patches
