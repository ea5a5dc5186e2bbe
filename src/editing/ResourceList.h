// What the editor's resource list shows for an entry: its name, size and ID
// columns and its text colour, by category (region number).
#pragma once

#include <string>

#include "firmware/Variables.h"

namespace flashsmith::editing {

// Category numbers are region numbers.
constexpr int32_t kCatImages = 0;
constexpr int32_t kCatSounds = 1;
constexpr int32_t kCatJava = 2;
constexpr int32_t kCatFirstLanguage = 3;

// A language category: table 1 or 2 and the language number from 0.
struct LanguageRef {
    int Table = 0;  // 0 when the category is not a language
    int32_t Lang = -1;
};
LanguageRef LanguageOf(const firmware::FirmwareState& state, int32_t category);
int32_t LanguageCategory(const firmware::FirmwareState& state, int table, int32_t lang);
// The string list of a language category, nullptr when there is none.
const firmware::pStringType* StringsOf(const firmware::FirmwareState& state, int32_t category);
firmware::pStringType* StringsOf(firmware::FirmwareState& state, int32_t category);

enum class RowColour {
    Normal,
    Deleted,   // 255, 96, 96
    Changed,   // 8, 176, 24: replaced or edited
    Borrowed,  // 205, 64, 205: a string of another language's region
    Linked,    // 64, 205, 205: shares its data with an earlier entry
};
// 0x00RRGGBB of a colour; Normal gives 0 (the caller uses its own).
uint32_t RowColourRgb(RowColour colour);

struct ListRow {
    std::string Name;  // pictures, sounds, Java: bytes as shown; strings: 8-bit (Windows-1251) text
    std::string Size;
    std::string Id;
    int Icon = 0;
    RowColour Colour = RowColour::Normal;
};

int32_t RowCount(const firmware::FirmwareState& state, int32_t category);
ListRow MakeListRow(const firmware::FirmwareState& state, int32_t category, int32_t index);

// "Image_" + (index + 1), or the ID's name from ImageIdNames.
std::string ImageRowName(const firmware::FirmwareState& state, int32_t index);

}  // namespace flashsmith::editing
