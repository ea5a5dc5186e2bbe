#include "editing/EditResult.h"

namespace flashsmith::editing {

bool EditResult::Failed() const {
    return Status == EditStatus::SourceUnreadable || Status == EditStatus::SourceTooLarge ||
           Status == EditStatus::WriteFailed || Status == EditStatus::ReplacementMissing;
}

const char* EditStatusText(EditStatus status) {
    switch (status) {
        case EditStatus::Ok: return "changed";
        case EditStatus::NotLoaded: return "no firmware is open";
        case EditStatus::NoEntry: return "no such entry";
        case EditStatus::WrongCategory: return "not possible in this category";
        case EditStatus::Linked: return "the entry shares its data with another entry";
        case EditStatus::NoData: return "the picture has no data of its own";
        case EditStatus::AlreadyReplaced: return "the entry is already replaced; restore it first";
        case EditStatus::EntryDeleted: return "the entry is deleted; restore it first";
        case EditStatus::UnsupportedKind: return "pictures of this format cannot be replaced";
        case EditStatus::WrongFileType: return "the file's type does not fit the entry";
        case EditStatus::NotJavaSuite: return "the Java entry is neither a .jar nor a .jad";
        case EditStatus::NoPartner: return "the .jad/.jar entry has no partner entry";
        case EditStatus::NoJarBeside: return "there is no .jar beside the .jad";
        case EditStatus::SourceUnreadable: return "the file cannot be read";
        case EditStatus::SourceTooLarge: return "the file is too large";
        case EditStatus::WriteFailed: return "the replacement file cannot be written";
        case EditStatus::ReplacementMissing: return "the replacement file is missing or truncated";
        case EditStatus::NothingToDo: return "nothing to change";
        case EditStatus::OutOfRange: return "the size must lie between 1 and 320";
        case EditStatus::NotReplaced09: return "only a replaced \"09\" picture can get a transparent colour";
        case EditStatus::NoTransparency: return "the picture has no transparent colour";
        case EditStatus::InvalidText: return "the text contains a zero byte";
    }
    return "";
}

}  // namespace flashsmith::editing
