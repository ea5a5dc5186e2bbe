// The parts of "Mirel.ini" and of the language packs that need no window:
// the text forms of the stored values and the lookups in the XML tree. The
// settings file is an XML document despite its name; its texts are
// Windows-1251 bytes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "firmware/IniFile.h"
#include "firmware/Variables.h"
#include "xml/GmXml.h"

namespace flashsmith::shell {

inline constexpr const char* kSettingsFile = "Mirel.ini";

struct WindowGeometry {
    int Width = 780, Height = 560, Left = 1, Top = 1;
};

// "width;height;left;top". A text without ";" changes nothing (nullopt);
// each part that is not a number takes its default (780, 560, 1, 1).
std::optional<WindowGeometry> ParseWindowState(const std::string& text);
std::string FormatWindowState(const WindowGeometry& g);

// The texts before each ";" in order; what follows the last ";" is dropped.
std::vector<std::string> SplitRegionTexts(const std::string& text);

// The names of the "imageID" element's "id" children: index = image ID,
// entry 0 always present and empty. An ID below 1, a blank name or a child
// lacking "val" or "name" is passed over; a later ID replaces an earlier one.
std::vector<firmware::tResourceIDType> ReadImageIdNames(const xml::TGmXmlNode* imageId);

// The first top-level (or child) element of that name, added when absent.
xml::TGmXmlNode& FindOrAddTop(xml::TGmXML& doc, const std::string& name);
xml::TGmXmlNode& FindOrAddChild(xml::TGmXmlNode& parent, const std::string& name);

// A language pack's text for one control, as UTF-8 with "|" turned into a
// line break; nullopt when the key is missing or empty.
std::optional<std::string> PackText(const firmware::IniFile& pack, const std::string& section, const std::string& key);

// The name of the language a pack file offers ("LanguagePack"/"Language"),
// empty when the pack offers none.
std::string PackLanguageName(const firmware::IniFile& pack);

}  // namespace flashsmith::shell
