// Read access to a loaded patch document, shared by the applier, the patches
// pane, the S-record export and the command line. Everything here points
// into the document, which must outlive the result. Unusable parts are passed
// over (or marked unreadable), never reported.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "patches/PatchFormat.h"
#include "xml/GmXml.h"

namespace flashsmith::patches {

// A numeric attribute: whether it is there and what it reads as.
struct PatchIntAttr {
    bool present = false;
    std::optional<int64_t> value;  // nullopt when absent or unreadable
    int64_t Or(int64_t fallback) const { return value.value_or(fallback); }
};

struct PatchAuthor {
    bool hasNick = false;
    std::string nick, email, internet, icq;
};

struct PatchInfo {
    const xml::TGmXmlNode* node = nullptr;  // the "info" element; null when missing
    bool hasName = false;
    std::string name, group, version;
    bool hasAbout = false;
    std::string description;           // of the first "about" child
    std::vector<PatchAuthor> authors;  // every "author" child, in order
};

enum class PatchResourceType { Unknown, Img, Snd, Java, Lng };
enum class PatchConvert { Absent, Full, Part, Unknown };
enum class PatchMetaType { Unknown, Deleted, Link };

// A "data" or "meta" child of a resource.
struct PatchElement {
    enum class Kind { Data, Meta };
    Kind kind = Kind::Data;
    const xml::TGmXmlNode* node = nullptr;
    PatchIntAttr number, id;

    // Data elements.
    PatchIntAttr offset;
    PatchIntAttr metaColor;  // the picture's transparent colour ("meta")
    const xml::TGmXmlAttribute* from = nullptr;
    const xml::TGmXmlAttribute* to = nullptr;

    // Meta elements.
    const xml::TGmXmlAttribute* type = nullptr;
    PatchMetaType metaType = PatchMetaType::Unknown;
    PatchIntAttr linkTo, linkTbl;

    // Decoded "to" / "from"; false when absent or not a valid byte string.
    bool ToBytes(std::string* bytes) const;
    bool FromBytes(std::string* bytes) const;
    // Bytes in "to"; 0 when absent or invalid.
    size_t ToByteCount() const;
};

// A "resource" element (or a "binary" one, which carries no known content).
struct PatchResource {
    const xml::TGmXmlNode* node = nullptr;
    bool binary = false;
    const xml::TGmXmlAttribute* typeAttr = nullptr;
    const xml::TGmXmlAttribute* convertAttr = nullptr;
    PatchResourceType type = PatchResourceType::Unknown;
    PatchConvert convert = PatchConvert::Absent;
    PatchIntAttr table, number;  // language table and language ("lng")
    std::vector<PatchElement> elements;  // data and meta children, in order

    size_t DataCount() const;
    size_t MetaCount() const;
    // Sum of the "to" byte counts of the data children.
    uint64_t ToByteTotal() const;
    // The first data child whose "number" reads 0 (an unreadable number
    // counts as 1); null when there is none.
    const PatchElement* TableElement() const;
};

struct PatchDataSection {
    const xml::TGmXmlNode* node = nullptr;
    bool hasFirmware = false;
    std::string firmware;
    std::vector<PatchResource> resources;
};

struct PatchContents {
    const xml::TGmXmlNode* patch = nullptr;
    PatchInfo info;
    std::vector<PatchDataSection> sections;  // every "patchdata" child, in order
};

struct PatchReadOptions {
    // Open SPF matches "resource" exactly; the pane and the export ignore case.
    bool resourceNameIgnoresCase = true;
    // The pane and the export also take "binary" elements.
    bool includeBinary = false;
};

// The top-level element named exactly "patch" if its "version" is the
// format version in any letter case; null when the document is no patch.
const xml::TGmXmlNode* FindPatchElement(const xml::TGmXML& doc);

PatchResourceType ParseResourceType(std::string_view text);
PatchConvert ParseConvert(const xml::TGmXmlAttribute* attr);

PatchInfo ReadPatchInfo(const xml::TGmXmlNode& patch);
PatchResource ReadPatchResource(const xml::TGmXmlNode& resource);
// nullopt when the document is no patch.
std::optional<PatchContents> ReadPatch(const xml::TGmXML& doc, const PatchReadOptions& options = {});

// A patch fits an image whose firmware version equals its "firmware" value
// without regard to case.
bool PatchFitsFirmware(const PatchDataSection& section, std::string_view firmwareVersion);

}  // namespace flashsmith::patches
