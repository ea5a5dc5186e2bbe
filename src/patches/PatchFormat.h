// The patch file (".spf"): an XML document in the GmXml dialect recording the
// changed byte blocks of one resource kind at their image file offsets. This
// file holds its vocabulary and value encodings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashsmith::patches {

namespace spf {

inline constexpr std::string_view kExtension = ".spf";
inline constexpr std::string_view kFileFilter = "Samsung Patch Files|*.spf";
inline constexpr std::string_view kFormatVersion = "1.0a";

// Element names.
inline constexpr std::string_view kPatch = "patch";
inline constexpr std::string_view kInfo = "info";
inline constexpr std::string_view kAbout = "about";
inline constexpr std::string_view kAuthor = "author";
inline constexpr std::string_view kPatchData = "patchdata";
inline constexpr std::string_view kResource = "resource";
inline constexpr std::string_view kBinary = "binary";
inline constexpr std::string_view kData = "data";
inline constexpr std::string_view kMeta = "meta";

// Attribute names.
inline constexpr std::string_view kVersion = "version";
inline constexpr std::string_view kName = "name";
inline constexpr std::string_view kGroup = "group";
inline constexpr std::string_view kDescription = "description";
inline constexpr std::string_view kNick = "nick";
inline constexpr std::string_view kEmail = "e-mail";
inline constexpr std::string_view kInternet = "internet";
inline constexpr std::string_view kIcq = "ICQ";
inline constexpr std::string_view kFirmware = "firmware";
inline constexpr std::string_view kType = "type";
inline constexpr std::string_view kConvert = "convert";
inline constexpr std::string_view kTable = "table";
inline constexpr std::string_view kNumber = "number";
inline constexpr std::string_view kOffset = "offset";
inline constexpr std::string_view kId = "id";
inline constexpr std::string_view kMetaColor = "meta";  // transparent colour of a picture
inline constexpr std::string_view kFrom = "from";
inline constexpr std::string_view kTo = "to";
inline constexpr std::string_view kLinkTo = "linkto";
inline constexpr std::string_view kLinkTbl = "linktbl";

// Keyword values.
inline constexpr std::string_view kTypeImg = "img";
inline constexpr std::string_view kTypeSnd = "snd";
inline constexpr std::string_view kTypeJava = "java";
inline constexpr std::string_view kTypeLng = "lng";
inline constexpr std::string_view kConvertFull = "full";
inline constexpr std::string_view kConvertPart = "part";
inline constexpr std::string_view kMetaDeleted = "deleted";
inline constexpr std::string_view kMetaLink = "link";

// "number" of the table element and of the placeholder sound.
inline constexpr int64_t kTableNumber = 0;
inline constexpr int64_t kPlaceholderNumber = -1;

}  // namespace spf

// The integer reader of patch attributes: an optional sign, then decimal
// digits or, after "0x", "0X" or "$", hexadecimal digits. Nothing may follow.
// nullopt when unreadable or outside 64 bits.
std::optional<int64_t> ReadPatchInt(std::string_view text);

// The 157-byte silent SMAF file every deleted sound's table entry points at.
std::string_view PlaceholderSound();

}  // namespace flashsmith::patches
