#include "editing/DeleteRestore.h"

#include <cstdio>

#include "editing/EditInternal.h"
#include "editing/JavaPairs.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"

namespace flashsmith::editing {
using namespace flashsmith::firmware;

using namespace detail;

namespace {

EditResult Done(int32_t category, std::vector<int32_t> rows) {
    EditResult r = Outcome(category, EditStatus::Ok);
    r.Rows = std::move(rows);
    return r;
}

void DropReplacement(const FirmwareState& st, std::string& tempName) {
    std::remove(TempPath(st, tempName).c_str());
    tempName.clear();
}

EditResult DeletePicture(FirmwareState& st, int32_t index) {
    tImgType& e = st.Firmware.Images[index];
    if (e.Link >= 0) return Outcome(kCatImages, EditStatus::Linked);
    if (e.Address < 0) return Outcome(kCatImages, EditStatus::NoData);
    if (!e.TempName.empty()) {
        const int64_t size = ReplacementDataSize(st, kCatImages, e.TempName);
        if (size < 0) return Outcome(kCatImages, EditStatus::ReplacementMissing, e.TempName);
        AddUsed(st, kCatImages, -size);
        DropReplacement(st, e.TempName);
        e.HasTransp = false;
    } else if (!e.Deleted) {
        AddUsed(st, kCatImages, -static_cast<int64_t>(e.Size));
    } else {
        return Outcome(kCatImages, EditStatus::NothingToDo, "already deleted");
    }
    e.Deleted = true;
    return Done(kCatImages, {index});
}

EditResult DeleteSound(FirmwareState& st, int32_t index) {
    tSndType& e = st.Firmware.Sounds[index];
    if (e.Link >= 0) return Outcome(kCatSounds, EditStatus::Linked);
    if (!e.TempName.empty()) {
        const int64_t size = ReplacementDataSize(st, kCatSounds, e.TempName);
        if (size < 0) return Outcome(kCatSounds, EditStatus::ReplacementMissing, e.TempName);
        AddUsed(st, kCatSounds, -size);
        DropReplacement(st, e.TempName);
    } else if (!e.Deleted) {
        AddUsed(st, kCatSounds, -static_cast<int64_t>(e.Size));
    } else {
        return Outcome(kCatSounds, EditStatus::NothingToDo, "already deleted");
    }
    if (!e.Deleted) ++st.DeletedSoundCount;
    e.Deleted = true;
    return Done(kCatSounds, {index});
}

EditResult DeleteJava(FirmwareState& st, int32_t index) {
    auto& apps = st.Firmware.JavaApps;
    if (!IsJavaSuiteFile(apps[index])) return Outcome(kCatJava, EditStatus::NotJavaSuite);
    const int32_t partner = JavaPartner(st, index);
    if (partner < 0) return Outcome(kCatJava, EditStatus::NoPartner);
    const int32_t both[2] = {index, partner};
    int64_t shares[2];
    bool anything = false;
    for (int i = 0; i < 2; ++i) {
        const tJavaType& e = apps[both[i]];
        shares[i] = e.TempName.empty() ? (e.Deleted ? 0 : e.Size) : ReplacementDataSize(st, kCatJava, e.TempName);
        if (shares[i] < 0) return Outcome(kCatJava, EditStatus::ReplacementMissing, e.TempName);
        anything |= !e.TempName.empty() || !e.Deleted;
    }
    if (!anything) return Outcome(kCatJava, EditStatus::NothingToDo, "already deleted");
    for (int i = 0; i < 2; ++i) {
        tJavaType& e = apps[both[i]];
        AddUsed(st, kCatJava, -shares[i]);
        if (!e.TempName.empty()) DropReplacement(st, e.TempName);
        e.Deleted = true;
    }
    return Done(kCatJava, {index, partner});
}

EditResult DeleteString(FirmwareState& st, int32_t category, int32_t index) {
    tStringType& s = (*StringsOf(st, category))[index];
    if (s.Link >= 0) return Outcome(category, EditStatus::Linked);
    if (!s.NewText.empty()) {
        AddUsed(st, category, -static_cast<int64_t>(s.NewText.size() + 1));
        s.NewText.clear();
    } else if (!s.Deleted) {
        AddUsed(st, category, -static_cast<int64_t>(s.Text.size() + 1));
    } else {
        return Outcome(category, EditStatus::NothingToDo, "already deleted");
    }
    s.Deleted = true;
    return Done(category, {index});
}

EditResult RestorePicture(FirmwareState& st, int32_t index) {
    tImgType& e = st.Firmware.Images[index];
    if (!e.TempName.empty()) {
        const int64_t size = ReplacementDataSize(st, kCatImages, e.TempName);
        if (size < 0) return Outcome(kCatImages, EditStatus::ReplacementMissing, e.TempName);
        AddUsed(st, kCatImages, e.Size - size);
        DropReplacement(st, e.TempName);
        e.HasTransp = false;
    } else if (e.Deleted) {
        AddUsed(st, kCatImages, e.Size);
    } else {
        return Outcome(kCatImages, EditStatus::NothingToDo, "neither replaced nor deleted");
    }
    e.Deleted = false;
    return Done(kCatImages, {index});
}

EditResult RestoreSound(FirmwareState& st, int32_t index) {
    tSndType& e = st.Firmware.Sounds[index];
    if (!e.TempName.empty()) {
        const int64_t size = ReplacementDataSize(st, kCatSounds, e.TempName);
        if (size < 0) return Outcome(kCatSounds, EditStatus::ReplacementMissing, e.TempName);
        AddUsed(st, kCatSounds, e.Size - size);
        DropReplacement(st, e.TempName);
    } else if (e.Deleted) {
        AddUsed(st, kCatSounds, e.Size);
        --st.DeletedSoundCount;
    } else {
        return Outcome(kCatSounds, EditStatus::NothingToDo, "neither replaced nor deleted");
    }
    e.Deleted = false;
    return Done(kCatSounds, {index});
}

EditResult RestoreJava(FirmwareState& st, int32_t index) {
    auto& apps = st.Firmware.JavaApps;
    // A file replaced alone (not a ".jad"/".jar") can be restored alone, or
    // its replacement could never be undone.
    std::vector<int32_t> rows{index};
    if (IsJavaSuiteFile(apps[index])) {
        if (int32_t partner = JavaPartner(st, index); partner >= 0) rows.push_back(partner);
    } else if (apps[index].TempName.empty()) {
        return Outcome(kCatJava, EditStatus::NotJavaSuite);
    }
    bool anything = false;
    for (int32_t i : rows) {
        const tJavaType& e = apps[i];
        if (!e.TempName.empty() && ReplacementDataSize(st, kCatJava, e.TempName) < 0)
            return Outcome(kCatJava, EditStatus::ReplacementMissing, e.TempName);
        anything |= !e.TempName.empty() || e.Deleted;
    }
    if (!anything) return Outcome(kCatJava, EditStatus::NothingToDo, "neither replaced nor deleted");
    for (int32_t i : rows) {
        tJavaType& e = apps[i];
        if (!e.TempName.empty()) {
            AddUsed(st, kCatJava, e.Size - ReplacementDataSize(st, kCatJava, e.TempName));
            DropReplacement(st, e.TempName);
        } else if (e.Deleted) {
            AddUsed(st, kCatJava, e.Size);
        }
        e.Deleted = false;
    }
    return Done(kCatJava, rows);
}

EditResult RestoreString(FirmwareState& st, int32_t category, int32_t index) {
    tStringType& s = (*StringsOf(st, category))[index];
    if (s.Link >= 0) return Outcome(category, EditStatus::Linked);
    if (!s.NewText.empty()) {
        AddUsed(st, category, static_cast<int64_t>(s.Text.size()) - static_cast<int64_t>(s.NewText.size()));
        s.NewText.clear();
    } else if (s.Deleted) {
        AddUsed(st, category, static_cast<int64_t>(s.Text.size() + 1));
    } else {
        return Outcome(category, EditStatus::NothingToDo, "neither edited nor deleted");
    }
    s.Deleted = false;
    return Done(category, {index});
}

// The common preconditions; Ok when the entry exists.
EditStatus Check(const FirmwareState& st, int32_t category, int32_t index) {
    if (!st.FirmwareLoaded) return EditStatus::NotLoaded;
    if (category > kCatJava && !StringsOf(st, category)) return EditStatus::WrongCategory;
    if (category < 0) return EditStatus::WrongCategory;
    return ValidIndex(index, static_cast<size_t>(RowCount(st, category))) ? EditStatus::Ok : EditStatus::NoEntry;
}

}  // namespace

EditResult DeleteEntry(FirmwareState& st, int32_t category, int32_t index) {
    if (EditStatus s = Check(st, category, index); s != EditStatus::Ok) return Outcome(category, s);
    switch (category) {
        case kCatImages: return DeletePicture(st, index);
        case kCatSounds: return DeleteSound(st, index);
        case kCatJava: return DeleteJava(st, index);
        default: return DeleteString(st, category, index);
    }
}

EditResult RestoreEntry(FirmwareState& st, int32_t category, int32_t index) {
    if (EditStatus s = Check(st, category, index); s != EditStatus::Ok) return Outcome(category, s);
    switch (category) {
        case kCatImages: return RestorePicture(st, index);
        case kCatSounds: return RestoreSound(st, index);
        case kCatJava: return RestoreJava(st, index);
        default: return RestoreString(st, category, index);
    }
}

}  // namespace flashsmith::editing
