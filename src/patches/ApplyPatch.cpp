#include "patches/ApplyPatch.h"

#include <cstdio>

#include "base/Text.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"
#include "base/FileUtil.h"

#include "patches/PatchReader.h"

namespace flashsmith::patches {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;
using namespace flashsmith::xml;

namespace {

// One usable data or meta element, its checks done.
struct Change {
    enum Kind { Data, Deleted, Link } kind = Data;
    int64_t number = 0;
    int64_t offset = 0;
    std::string to;
    const TGmXmlAttribute* meta = nullptr;
    int64_t linkTo = -1, linkTbl = -1;
};

bool ReadChange(const PatchElement& e, Change& c) {
    if (!e.number.present || !e.id.present) return false;
    c.number = e.number.Or(0);
    if (e.kind == PatchElement::Kind::Data) {
        if (!e.offset.present || !e.from || !e.to) return false;
        c.kind = Change::Data;
        c.offset = e.offset.Or(0);
        // A "to" that is no byte string is unusable, not an empty block.
        if (!e.ToBytes(&c.to)) return false;
        const size_t fromChars = e.from->Value().size();
        if ((fromChars % 2 ? 0 : fromChars / 2) != c.to.size()) return false;
        c.meta = e.node->Attributes().AttributeByName(spf::kMetaColor);
        return true;
    }
    if (!e.type) return false;
    if (e.metaType == PatchMetaType::Deleted) {
        c.kind = Change::Deleted;
        return true;
    }
    if (e.metaType != PatchMetaType::Link) return false;
    c.kind = Change::Link;
    c.linkTo = e.linkTo.Or(-1);
    c.linkTbl = e.linkTbl.Or(-1);
    return c.linkTo >= 0;
}

class Applier {
public:
    Applier(FirmwareState& state, ApplyResourceResult& result) : st_(state), result_(result) {}

    bool WriteTemp(const std::string& name, const std::string& bytes) {
        Status written = EnsureTempDir(st_);
        if (written) written = WriteFileAtomic(TempPath(st_, name), bytes);
        if (written) return true;
        result_.WriteFailed = true;
        result_.Error = written.Error();
        return false;
    }
    // Size of the entry's replacement file, which is then deleted; -1 when
    // the file is gone (its space is then not known to give back).
    int64_t DropTemp(std::string& tempName) {
        if (tempName.empty()) return -1;
        const std::string path = TempPath(st_, tempName);
        const int64_t size = FileSizeOf(path);
        std::remove(path.c_str());
        tempName.clear();
        return size;
    }

    void Picture(size_t index, const Change& c, const std::string& table) {
        tImgType& img = st_.Firmware.Images[index];
        const int32_t region = kCatImages;
        const int64_t old = DropTemp(img.TempName);
        if (old >= 0) AddUsed(st_, region, img.Size - (old - 4));
        img.HasTransp = false;
        const bool counted = !img.Deleted && img.Link < 0;
        if (c.kind == Change::Link) {
            if (counted) AddUsed(st_, region, -int64_t(img.Size));
            img.Deleted = false;
            img.Link = static_cast<int32_t>(c.linkTo);
            return;
        }
        if (c.kind == Change::Data) {
            std::string file(4, '\0');
            const size_t at = index * 8;
            if (at + 4 <= table.size()) {
                file.replace(0, 4, table, at, 4);
            } else {  // no table element yet: the entry's own size
                file[0] = static_cast<char>(img.Width);
                file[1] = static_cast<char>(img.Width >> 8);
                file[2] = static_cast<char>(img.Height);
                file[3] = static_cast<char>(img.Height >> 8);
            }
            const std::string name = ReplacementName(kCatImages, static_cast<int32_t>(index));
            if (!WriteTemp(name, file + c.to)) return;
            img.TempName = name;
            if (counted) AddUsed(st_, region, -int64_t(img.Size));
            AddUsed(st_, region, static_cast<int64_t>(c.to.size()));
            if (c.meta && !c.meta->Value().empty()) {
                img.TranspColor = static_cast<int32_t>(
                    ReadPatchInt(c.meta->Value()).value_or(st_.FirmwareDescription.Transparent));
                img.HasTransp = true;
            }
            img.Deleted = false;
        } else {
            if (counted) AddUsed(st_, region, -int64_t(img.Size));
            img.Deleted = true;
        }
        // A former link takes the data it shared as its own, so that
        // restoring it later gives back the picture it showed.
        const auto& images = st_.Firmware.Images;
        if (img.Link >= 0 && static_cast<size_t>(img.Link) < images.size() && images[img.Link].Address >= 0) {
            img.Address = images[img.Link].Address;
            img.Size = images[img.Link].Size;
        }
        img.Link = -1;
    }

    void Sound(size_t index, const Change& c) {
        tSndType& s = st_.Firmware.Sounds[index];
        const int32_t region = kCatSounds;
        const bool hadTemp = !s.TempName.empty();
        const int64_t old = DropTemp(s.TempName);
        if (old >= 0) AddUsed(st_, region, s.Size - old);
        if (!hadTemp && s.Deleted) --st_.DeletedSoundCount;
        const bool counted = !s.Deleted && s.Link < 0;
        switch (c.kind) {
            case Change::Deleted:
                if (counted) AddUsed(st_, region, -int64_t(s.Size));
                ++st_.DeletedSoundCount;
                s.Deleted = true;
                s.Link = -1;
                break;
            case Change::Link:
                if (counted) AddUsed(st_, region, -int64_t(s.Size));
                s.Link = static_cast<int32_t>(c.linkTo);
                s.Deleted = false;
                break;
            case Change::Data: {
                const std::string name = ReplacementName(kCatSounds, static_cast<int32_t>(index));
                if (!WriteTemp(name, c.to)) {
                    // Leave the sound as the undo left it, counted and whole.
                    if (s.Deleted) ++st_.DeletedSoundCount;
                    return;
                }
                s.TempName = name;
                if (counted) AddUsed(st_, region, -int64_t(s.Size));
                AddUsed(st_, region, static_cast<int64_t>(c.to.size()));
                s.Deleted = false;
                s.Link = -1;
                break;
            }
        }
    }

    void Java(size_t index, const Change& c, const std::string& table) {
        tJavaType& j = st_.Firmware.JavaApps[index];
        const int32_t region = kCatJava;
        const int64_t old = DropTemp(j.TempName);
        if (old >= 0) AddUsed(st_, region, j.Size - old);
        if (c.kind == Change::Deleted) {
            if (!j.Deleted) AddUsed(st_, region, -int64_t(j.Size));
            j.Deleted = true;
            return;
        }
        const std::string name = ReplacementName(kCatJava, static_cast<int32_t>(index));
        if (!WriteTemp(name, c.to)) return;
        j.TempName = name;
        const int32_t len = st_.FirmwareDescription.JavaTableLength;
        const size_t at = index * static_cast<size_t>(std::max(len, 0));
        if (len > 8 && at + static_cast<size_t>(len) - 8 <= table.size()) {
            std::string path = table.substr(at, static_cast<size_t>(len) - 8);
            path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
            j.NewPath = path;
        } else {
            j.NewPath = j.Path;  // no table element yet: the path stays
        }
        if (!j.Deleted) AddUsed(st_, region, -int64_t(j.Size));
        AddUsed(st_, region, static_cast<int64_t>(c.to.size()));
        j.Deleted = false;
    }

    void String(pStringType& list, size_t index, int32_t region, const Change& c) {
        tStringType& s = list[index];
        const auto stored = [](const std::string& t) { return static_cast<int64_t>(t.size()) + 1; };
        if (!s.NewText.empty()) {
            AddUsed(st_, region, stored(s.Text) - stored(s.NewText));
            s.NewText.clear();
        }
        if (!s.Deleted && s.Link < 0) AddUsed(st_, region, -stored(s.Text));
        switch (c.kind) {
            case Change::Deleted:
                s.Deleted = true;
                s.Link = -1;
                s.HomeLang = -1;
                break;
            case Change::Link:
                s.Link = static_cast<int32_t>(c.linkTo);
                s.HomeLang = static_cast<int32_t>(c.linkTbl);
                s.Deleted = false;
                break;
            case Change::Data:
                s.NewText = c.to.substr(0, c.to.find('\0'));
                // An empty text is no edit: the string keeps its own text
                // and is counted with it.
                AddUsed(st_, region, stored(s.NewText.empty() ? s.Text : s.NewText));
                s.Deleted = false;
                s.Link = -1;
                s.HomeLang = -1;
                break;
        }
    }

private:
    FirmwareState& st_;
    ApplyResourceResult& result_;
};

// True when entry t is neither deleted nor a link.
bool LinkTargetUsable(const FirmwareState& state, PatchResourceType type, const pStringType* strings, size_t t) {
    const auto usable = [](const auto& e) { return !e.Deleted && e.Link < 0; };
    switch (type) {
        case PatchResourceType::Img: return usable(state.Firmware.Images[t]);
        case PatchResourceType::Snd: return usable(state.Firmware.Sounds[t]);
        case PatchResourceType::Lng: return usable((*strings)[t]);
        default: return false;
    }
}

}  // namespace

ApplyResourceResult ApplyPatchResource(FirmwareState& state, const TGmXmlNode& node) {
    ApplyResourceResult result;
    const PatchResource r = ReadPatchResource(node);
    if (!r.typeAttr || !r.convertAttr || r.convert != PatchConvert::Part) return result;
    auto& fw = state.Firmware;
    const int32_t languages = std::max(state.FirmwareDescription.LanguageCount, 0);
    pStringType* strings = nullptr;
    int32_t region = -1;
    size_t count = 0;
    switch (r.type) {
        case PatchResourceType::Img: count = fw.Images.size(); break;
        case PatchResourceType::Snd: count = fw.Sounds.size(); break;
        case PatchResourceType::Java: count = fw.JavaApps.size(); break;
        case PatchResourceType::Lng: {
            if (!r.table.value || !r.number.value) return result;
            const int64_t table = *r.table.value, lang = *r.number.value - 1;
            if ((table != 1 && table != 2) || lang < 0 || lang >= languages) return result;
            auto& langs = table == 1 ? fw.Strings1 : fw.Strings2;
            if (static_cast<size_t>(lang) >= langs.size()) return result;  // the table was not read
            strings = &langs[static_cast<size_t>(lang)];
            count = strings->size();
            region = 3 + languages * static_cast<int32_t>(table - 1) + static_cast<int32_t>(lang);
            break;
        }
        case PatchResourceType::Unknown: return result;
    }
    result.Applied = true;
    result.Category = r.type == PatchResourceType::Img    ? kCatImages
                      : r.type == PatchResourceType::Snd  ? kCatSounds
                      : r.type == PatchResourceType::Java ? kCatJava
                                                          : region;
    Applier apply(state, result);
    std::string table;  // "to" of the table element, once applied
    for (const PatchElement& e : r.elements) {
        Change c;
        if (!ReadChange(e, c)) continue;
        if (c.number < 0) continue;  // the placeholder sound
        if (c.number == 0) {
            if (c.kind == Change::Data) table = std::move(c.to);
            continue;
        }
        if (static_cast<uint64_t>(c.number) > count) continue;
        const size_t index = static_cast<size_t>(c.number - 1);
        if (c.kind == Change::Link) {
            if (r.type == PatchResourceType::Java) continue;
            // A link must name another entry of the table that has data of
            // its own: one that is deleted or a link itself leaves nothing to
            // share. A string of another language's region names an entry of
            // an existing language.
            const bool borrowed = r.type == PatchResourceType::Lng && c.linkTbl >= 0;
            if (borrowed) {
                if (c.linkTbl >= languages || static_cast<uint64_t>(c.linkTbl) >= fw.Strings1.size() ||
                    static_cast<uint64_t>(c.linkTo) >= fw.Strings1[static_cast<size_t>(c.linkTbl)].size())
                    continue;
            } else {
                if (static_cast<uint64_t>(c.linkTo) >= count || static_cast<size_t>(c.linkTo) == index) continue;
                if (!LinkTargetUsable(state, r.type, strings, static_cast<size_t>(c.linkTo))) continue;
            }
        }
        switch (r.type) {
            case PatchResourceType::Img: apply.Picture(index, c, table); break;
            case PatchResourceType::Snd: apply.Sound(index, c); break;
            case PatchResourceType::Java: apply.Java(index, c, table); break;
            case PatchResourceType::Lng: apply.String(*strings, index, region, c); break;
            case PatchResourceType::Unknown: break;
        }
        if (result.WriteFailed) return result;
        ++result.Elements;
        result.Rows.push_back(static_cast<int32_t>(index));
    }
    return result;
}

OpenSpfResult ApplyPatchDocument(FirmwareState& state, const TGmXML& doc) {
    OpenSpfResult result;
    if (!state.FirmwareLoaded) {
        result.Status = OpenSpfStatus::NotLoaded;
        return result;
    }
    const TGmXmlNode* patch = FindPatchElement(doc);
    if (!patch) {
        result.Status = OpenSpfStatus::NotPatch;
        return result;
    }
    const TGmXmlNode* info = patch->Children().NodeByName(spf::kInfo);
    const TGmXmlNode* author = info ? info->Children().NodeByName(spf::kAuthor) : nullptr;
    const TGmXmlAttribute* name = info ? info->Attributes().AttributeByName(spf::kName) : nullptr;
    if (!name || !author) {
        result.Status = OpenSpfStatus::MissingInfo;
        return result;
    }
    auto text = [](const TGmXmlNode* node, std::string_view attr) {
        const TGmXmlAttribute* a = node ? node->Attributes().AttributeByName(attr) : nullptr;
        return a ? a->Value() : std::string();
    };
    const TGmXmlNode* patchData = patch->Children().NodeByName(spf::kPatchData);
    const TGmXmlAttribute* firmware = patchData ? patchData->Attributes().AttributeByName(spf::kFirmware) : nullptr;
    if (!firmware || !SameTextNoCase(firmware->Value(), TrimBlanks(state.FirmwareDescription.Version))) {
        result.Status = OpenSpfStatus::OtherFirmware;
        return result;
    }
    PatchDetails& d = result.Details;
    d.Name = name->Value();
    d.Version = text(info, spf::kVersion);
    d.About = text(info->Children().NodeByName(spf::kAbout), spf::kDescription);
    d.Author = text(author, spf::kNick);
    d.Email = text(author, spf::kEmail);
    d.Www = text(author, spf::kInternet);
    d.Icq = text(author, spf::kIcq);
    for (const auto& child : patchData->Children()) {
        if (child->Name() != spf::kResource) continue;
        ApplyResourceResult r = ApplyPatchResource(state, *child);
        for (int32_t row : r.Rows) result.Changed.emplace_back(r.Category, row);
        if (r.WriteFailed) {
            result.Status = OpenSpfStatus::WriteError;
            result.Error = r.Error;
            return result;
        }
        result.Resources += r.Applied;
    }
    return result;
}

OpenSpfResult OpenSpf(FirmwareState& state, const std::string& path) {
    OpenSpfResult result;
    if (!state.FirmwareLoaded) {
        result.Status = OpenSpfStatus::NotLoaded;
        return result;
    }
    TGmXML doc;
    if (Status loaded = doc.LoadFile(path); !loaded) {
        result.Error = loaded.Error();
        result.Status = OpenSpfStatus::LoadError;
        return result;
    }
    return ApplyPatchDocument(state, doc);
}

}  // namespace flashsmith::patches
