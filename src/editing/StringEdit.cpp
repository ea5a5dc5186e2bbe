#include "editing/StringEdit.h"

#include "editing/EditInternal.h"
#include "editing/ResourceList.h"
#include "base/Cp1251.h"

namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

using namespace detail;

bool CanEditString(const FirmwareState& st, int32_t category, int32_t index) {
    if (!st.FirmwareLoaded) return false;
    const pStringType* list = StringsOf(st, category);
    return list && ValidIndex(index, list->size()) && (*list)[index].Link == -1;
}

EditResult EditStringUtf8(FirmwareState& st, int32_t category, int32_t index, const std::string& text) {
    if (!st.FirmwareLoaded) return Outcome(category, EditStatus::NotLoaded);
    pStringType* list = StringsOf(st, category);
    if (!list) return Outcome(category, EditStatus::WrongCategory);
    if (!ValidIndex(index, list->size())) return Outcome(category, EditStatus::NoEntry);
    tStringType& s = (*list)[index];
    if (s.Link != -1) return Outcome(category, EditStatus::Linked);
    // A zero byte would end the string early in the firmware.
    if (text.find('\0') != std::string::npos) return Outcome(category, EditStatus::InvalidText);
    const bool deleting = text.empty();
    if (s.NewText == text && s.Deleted == deleting) return Outcome(category, EditStatus::NothingToDo);

    int64_t share = 0;  // what the string counts in its region now
    if (!s.NewText.empty()) share = static_cast<int64_t>(s.NewText.size()) + 1;
    else if (!s.Deleted) share = static_cast<int64_t>(s.Text.size()) + 1;
    AddUsed(st, category, -share);
    s.NewText = text;
    if (!deleting) {
        s.Deleted = false;
        AddUsed(st, category, static_cast<int64_t>(s.NewText.size()) + 1);
    } else {
        s.Deleted = true;
    }
    EditResult r = Outcome(category, EditStatus::Ok);
    r.Rows = {index};
    return r;
}

EditResult EditString(FirmwareState& st, int32_t category, int32_t index, const std::string& ansiText) {
    return EditStringUtf8(st, category, index, Utf8FromAnsi(ansiText));
}

}  // namespace flashsmith::editing
