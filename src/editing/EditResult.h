// What an editing operation did: the rows whose cells changed (so the GUI
// can redraw single cells and the region display), or why nothing happened
// (so the CLI can warn). The core never shows messages itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashsmith::editing {

enum class EditStatus {
    Ok,                  // the entry (and perhaps its partner) changed
    NotLoaded,           // no firmware is open
    NoEntry,             // the index lies outside the category
    WrongCategory,       // the operation does not apply to this category
    Linked,              // shares its data with another entry, or a read-only string
    NoData,              // a picture without data of its own
    AlreadyReplaced,     // restore the entry before replacing it again
    EntryDeleted,        // restore the entry before replacing it
    UnsupportedKind,     // RAW8 or an unknown picture format
    WrongFileType,       // the file's extension does not fit the entry
    NotJavaSuite,        // the Java entry is neither a ".jar" nor a ".jad"
    NoPartner,           // a ".jad"/".jar" entry without its partner entry
    NoJarBeside,         // the chosen ".jad" has no ".jar" beside it
    SourceUnreadable,    // the chosen file cannot be read or decoded
    SourceTooLarge,      // the chosen file is far too big for any region
    WriteFailed,         // a replacement file cannot be written
    ReplacementMissing,  // the entry's replacement file is gone or truncated
    NothingToDo,         // already in the requested state
    OutOfRange,          // a picture side outside 1..320
    NotReplaced09,       // transparency needs a replaced "09" picture
    NoTransparency,      // no transparent colour to undo
    InvalidText,         // a string with a zero byte inside
};

struct EditResult {
    EditStatus Status = EditStatus::Ok;
    int32_t Category = -1;
    std::vector<int32_t> Rows;  // indices, within Category, whose list cells changed
    std::string Detail;         // file and system error of a failure

    bool Changed() const { return Status == EditStatus::Ok; }
    // A failure the user must act on (I/O), as opposed to a refusal.
    bool Failed() const;
};

// One line in English for warnings and errors ("the entry is already replaced").
const char* EditStatusText(EditStatus status);

}  // namespace flashsmith::editing
