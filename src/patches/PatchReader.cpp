#include "patches/PatchReader.h"
#include "base/Hex.h"
#include "base/Text.h"

namespace flashsmith::patches {
using namespace flashsmith::base;
using namespace flashsmith::xml;

namespace {

const std::string* Text(const TGmXmlNode& node, std::string_view name) {
    const TGmXmlAttribute* a = node.Attributes().AttributeByName(name);
    return a ? &a->Value() : nullptr;
}

std::string TextOr(const TGmXmlNode& node, std::string_view name) {
    const std::string* t = Text(node, name);
    return t ? *t : std::string();
}

PatchIntAttr Int(const TGmXmlNode& node, std::string_view name) {
    PatchIntAttr r;
    if (const std::string* t = Text(node, name)) {
        r.present = true;
        r.value = ReadPatchInt(*t);
    }
    return r;
}

PatchElement ReadElement(const TGmXmlNode& node, PatchElement::Kind kind) {
    PatchElement e;
    e.kind = kind;
    e.node = &node;
    e.number = Int(node, spf::kNumber);
    e.id = Int(node, spf::kId);
    const TGmXmlAttributeList& attrs = node.Attributes();
    if (kind == PatchElement::Kind::Data) {
        e.offset = Int(node, spf::kOffset);
        e.metaColor = Int(node, spf::kMetaColor);
        e.from = attrs.AttributeByName(spf::kFrom);
        e.to = attrs.AttributeByName(spf::kTo);
    } else {
        e.type = attrs.AttributeByName(spf::kType);
        if (e.type && SameTextNoCase(e.type->Value(), spf::kMetaDeleted))
            e.metaType = PatchMetaType::Deleted;
        else if (e.type && SameTextNoCase(e.type->Value(), spf::kMetaLink))
            e.metaType = PatchMetaType::Link;
        e.linkTo = Int(node, spf::kLinkTo);
        e.linkTbl = Int(node, spf::kLinkTbl);
    }
    return e;
}

}  // namespace

bool PatchElement::ToBytes(std::string* bytes) const {
    if (!to) {
        bytes->clear();
        return false;
    }
    return HexToBytes(to->Value(), bytes);
}

bool PatchElement::FromBytes(std::string* bytes) const {
    if (!from) {
        bytes->clear();
        return false;
    }
    return HexToBytes(from->Value(), bytes);
}

size_t PatchElement::ToByteCount() const { return to ? HexByteCount(to->Value()).value_or(0) : 0; }

size_t PatchResource::DataCount() const {
    size_t n = 0;
    for (const PatchElement& e : elements) n += e.kind == PatchElement::Kind::Data;
    return n;
}

size_t PatchResource::MetaCount() const { return elements.size() - DataCount(); }

uint64_t PatchResource::ToByteTotal() const {
    uint64_t total = 0;
    for (const PatchElement& e : elements)
        if (e.kind == PatchElement::Kind::Data) total += e.ToByteCount();
    return total;
}

const PatchElement* PatchResource::TableElement() const {
    for (const PatchElement& e : elements)
        if (e.kind == PatchElement::Kind::Data && e.number.Or(1) == spf::kTableNumber) return &e;
    return nullptr;
}

const TGmXmlNode* FindPatchElement(const TGmXML& doc) {
    const TGmXmlNode* patch = doc.Nodes().NodeByName(spf::kPatch);
    if (!patch) return nullptr;
    const std::string* version = Text(*patch, spf::kVersion);
    return version && SameTextNoCase(*version, spf::kFormatVersion) ? patch : nullptr;
}

PatchResourceType ParseResourceType(std::string_view text) {
    if (SameTextNoCase(text, spf::kTypeImg)) return PatchResourceType::Img;
    if (SameTextNoCase(text, spf::kTypeSnd)) return PatchResourceType::Snd;
    if (SameTextNoCase(text, spf::kTypeJava)) return PatchResourceType::Java;
    if (SameTextNoCase(text, spf::kTypeLng)) return PatchResourceType::Lng;
    return PatchResourceType::Unknown;
}

PatchConvert ParseConvert(const TGmXmlAttribute* attr) {
    if (!attr) return PatchConvert::Absent;
    if (SameTextNoCase(attr->Value(), spf::kConvertFull)) return PatchConvert::Full;
    if (SameTextNoCase(attr->Value(), spf::kConvertPart)) return PatchConvert::Part;
    return PatchConvert::Unknown;
}

PatchInfo ReadPatchInfo(const TGmXmlNode& patch) {
    PatchInfo info;
    const TGmXmlNode* node = patch.Children().NodeByName(spf::kInfo);
    if (!node) return info;
    info.node = node;
    if (const std::string* name = Text(*node, spf::kName)) {
        info.hasName = true;
        info.name = *name;
    }
    info.group = TextOr(*node, spf::kGroup);
    info.version = TextOr(*node, spf::kVersion);
    if (const TGmXmlNode* about = node->Children().NodeByName(spf::kAbout)) {
        info.hasAbout = true;
        info.description = TextOr(*about, spf::kDescription);
    }
    for (const auto& child : node->Children()) {
        if (child->Name() != spf::kAuthor) continue;
        PatchAuthor a;
        if (const std::string* nick = Text(*child, spf::kNick)) {
            a.hasNick = true;
            a.nick = *nick;
        }
        a.email = TextOr(*child, spf::kEmail);
        a.internet = TextOr(*child, spf::kInternet);
        a.icq = TextOr(*child, spf::kIcq);
        info.authors.push_back(std::move(a));
    }
    return info;
}

PatchResource ReadPatchResource(const TGmXmlNode& node) {
    PatchResource r;
    r.node = &node;
    r.binary = SameTextNoCase(node.Name(), spf::kBinary);
    r.typeAttr = node.Attributes().AttributeByName(spf::kType);
    r.convertAttr = node.Attributes().AttributeByName(spf::kConvert);
    r.type = r.typeAttr ? ParseResourceType(r.typeAttr->Value()) : PatchResourceType::Unknown;
    r.convert = ParseConvert(r.convertAttr);
    r.table = Int(node, spf::kTable);
    r.number = Int(node, spf::kNumber);
    for (const auto& child : node.Children()) {
        if (SameTextNoCase(child->Name(), spf::kData))
            r.elements.push_back(ReadElement(*child, PatchElement::Kind::Data));
        else if (SameTextNoCase(child->Name(), spf::kMeta))
            r.elements.push_back(ReadElement(*child, PatchElement::Kind::Meta));
    }
    return r;
}

std::optional<PatchContents> ReadPatch(const TGmXML& doc, const PatchReadOptions& options) {
    const TGmXmlNode* patch = FindPatchElement(doc);
    if (!patch) return std::nullopt;
    PatchContents c;
    c.patch = patch;
    c.info = ReadPatchInfo(*patch);
    for (const auto& child : patch->Children()) {
        if (child->Name() != spf::kPatchData) continue;
        PatchDataSection s;
        s.node = child.get();
        if (const std::string* fw = Text(*child, spf::kFirmware)) {
            s.hasFirmware = true;
            s.firmware = *fw;
        }
        for (const auto& r : child->Children()) {
            const std::string& name = r->Name();
            bool resource = options.resourceNameIgnoresCase ? SameTextNoCase(name, spf::kResource)
                                                            : name == spf::kResource;
            bool binary = options.includeBinary && SameTextNoCase(name, spf::kBinary);
            if (resource || binary) s.resources.push_back(ReadPatchResource(*r));
        }
        c.sections.push_back(std::move(s));
    }
    return c;
}

bool PatchFitsFirmware(const PatchDataSection& section, std::string_view firmwareVersion) {
    return section.hasFirmware && SameTextNoCase(section.firmware, firmwareVersion);
}

}  // namespace flashsmith::patches
