#include "patches/CreatePatch.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "base/Text.h"
#include "editing/DeleteRestore.h"
#include "editing/RegionUsage.h"
#include "editing/ResourceList.h"
#include "editing/TempFiles.h"
#include "base/FileUtil.h"
#include "base/Hex.h"
#include "patches/PatchFormat.h"

namespace flashsmith::patches {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::editing;
using namespace flashsmith::xml;

namespace {

void PutU32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

uint32_t GetU32(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

// A replacement file's bytes from offset skip on; false when unreadable.
bool ReadReplacement(const FirmwareState& state, const std::string& tempName, size_t skip, std::string& out) {
    if (!ReadWholeFile(TempPath(state, tempName), out)) return false;
    out.erase(0, std::min(skip, out.size()));
    return true;
}

const MemoryRegion& RegionAt(const FirmwareState& state, int32_t index) {
    static const MemoryRegion kNone{};
    const MemoryRegion* region = state.Firmware.RegionAt(index);
    return region ? *region : kNone;
}

// True when the data laid out up to end fits region index by its accounting
// (the shown use) and by the layout itself: padding and strings that lay outside every region
// take room that Used does not count, and writing past the region's end would
// overwrite whatever follows it.
bool Fits(const FirmwareState& state, int32_t index, uint64_t end) {
    const MemoryRegion& region = RegionAt(state, index);
    if (region.Range.Length < ShownUsed(state, index)) return false;
    return std::cmp_less_equal(end, region.Range.Empty() ? region.Range.Start : region.Range.End());
}

// The entry that link i finally shares, following links to links (which
// only a state built by other means has) at most once per entry. -1 when
// the chain leaves the list or runs in a circle.
template <typename List, typename IsLink>
int64_t LinkEnd(const List& list, size_t i, IsLink isLink) {
    size_t t = i;
    for (size_t hops = 0; hops <= list.size(); ++hops) {
        if (!isLink(list[t])) return static_cast<int64_t>(t);
        const int64_t next = list[t].Link;
        if (next < 0 || static_cast<uint64_t>(next) >= list.size()) return -1;
        t = static_cast<size_t>(next);
    }
    return -1;
}

const char* TypeText(PatchKind kind) {
    switch (kind) {
        case PatchKind::Pictures: return "img";
        case PatchKind::Sounds: return "snd";
        case PatchKind::Java: return "java";
        case PatchKind::Languages: return "lng";
        case PatchKind::None: break;
    }
    return "";
}

TGmXmlNode& OpenResource(TGmXmlNodeList& doc, PatchKind kind, bool full) {
    TGmXmlNode& r = doc.AddOpenElement(spf::kResource);
    r.Attributes().SetAttribute(spf::kType, TypeText(kind));
    r.Attributes().SetAttribute(spf::kConvert, full ? spf::kConvertFull : spf::kConvertPart);
    return r;
}

// An entry's own data: the replacement (without skip header bytes) or, in a
// full patch only, its current bytes. False when it gets no element.
bool OwnData(const FirmwareState& state, const std::string& tempName, size_t skip, bool full,
             int64_t address, int32_t size, std::string& out) {
    if (ReplacementSize(state, tempName) >= 0 && ReadReplacement(state, tempName, skip, out)) return true;
    if (!full) return false;
    out = ImageBytesAt(*state.FirmwareFile, address, static_cast<size_t>(std::max<int32_t>(size, 0)));
    return true;
}

void AddData(const FirmwareState& state, TGmXmlNodeList& doc, uint32_t offset, std::string_view to, int64_t number,
             int64_t id, bool hasMeta = false, uint32_t meta = 0) {
    AddDataElement(doc, offset, ImageBytesAt(*state.FirmwareFile, offset, to.size()), to, number, id, hasMeta,
                   meta);
}

// --- kinds -----------------------------------------------------------------

void AddPictures(const FirmwareState& state, TGmXmlNodeList& doc, const ImageLayout& layout, bool full,
                 ProgressSink& progress) {
    const auto& images = state.Firmware.Images;
    OpenResource(doc, PatchKind::Pictures, full);
    std::string table(images.size() * 8, '\0');
    for (size_t i = 0; i < images.size(); ++i) {
        PutU32(table, 8 * i, layout.Slots[i].Header);
        PutU32(table, 8 * i + 4, layout.Slots[i].Address);
    }
    AddData(state, doc, static_cast<uint32_t>(state.FirmwareDescription.ImageTable) + 8, table, 0, 0);
    progress.SetRange(static_cast<int64_t>(images.size()));
    progress.SetPosition(0);
    std::string bytes;
    for (size_t i = 0; i < images.size(); ++i) {
        const tImgType& img = images[i];
        const int64_t k = static_cast<int64_t>(i) + 1, id = int64_t(img.ID) + 1;
        if (img.Deleted) {
            AddMetaElement(doc, spf::kMetaDeleted, k, id, -1, -1);
        } else if (img.Link >= 0) {
            AddMetaElement(doc, spf::kMetaLink, k, id, img.Link, -1);
        } else if (OwnData(state, img.TempName, 4, full, img.Address, img.Size, bytes)) {
            AddData(state, doc, layout.Slots[i].Address, bytes, k, id, img.HasTransp,
                    static_cast<uint32_t>(img.TranspColor));
            progress.Step(1);
        }
        progress.ProcessEvents();
    }
    doc.CloseElement();
}

void AddSounds(const FirmwareState& state, TGmXmlNodeList& doc, const SoundLayout& layout, bool full,
               ProgressSink& progress) {
    const auto& sounds = state.Firmware.Sounds;
    const size_t len = static_cast<size_t>(SoundEntryLength(state.FirmwareDescription));
    OpenResource(doc, PatchKind::Sounds, full);
    AddDataElement(doc, static_cast<uint32_t>(state.FirmwareDescription.SoundTable), layout.OldTable, layout.Table,
                   0, 0, false, 0);
    progress.SetRange(static_cast<int64_t>(sounds.size()));
    progress.SetPosition(0);
    bool placeholderWritten = false;
    std::string bytes;
    for (size_t i = 0; i < sounds.size(); ++i) {
        const tSndType& s = sounds[i];
        const int64_t k = static_cast<int64_t>(i) + 1;
        const uint32_t address = GetU32(layout.Table, i * len);
        if (s.Deleted) {
            if (!placeholderWritten) {
                AddData(state, doc, address, PlaceholderSound(), spf::kPlaceholderNumber, 0);
                placeholderWritten = true;
            }
            AddMetaElement(doc, spf::kMetaDeleted, k, 0, -1, -1);
        } else if (s.Link >= 0) {
            AddMetaElement(doc, spf::kMetaLink, k, 0, s.Link, -1);
        } else if (OwnData(state, s.TempName, 0, full, s.Address, s.Size, bytes)) {
            AddData(state, doc, address, bytes, k, 0);
        } else {
            continue;
        }
        progress.Step(1);
        progress.ProcessEvents();
    }
    doc.CloseElement();
}

void AddJava(const FirmwareState& state, TGmXmlNodeList& doc, const JavaLayout& layout, bool full,
             ProgressSink& progress) {
    const auto& apps = state.Firmware.JavaApps;
    const size_t len = static_cast<size_t>(std::max(state.FirmwareDescription.JavaTableLength, 0));
    OpenResource(doc, PatchKind::Java, full);
    AddData(state, doc, static_cast<uint32_t>(state.FirmwareDescription.JavaTable), layout.Table, 0, 0);
    progress.SetRange(static_cast<int64_t>(apps.size()));
    progress.SetPosition(0);
    std::string bytes;
    for (size_t i = 0; i < apps.size(); ++i) {
        const tJavaType& j = apps[i];
        const int64_t k = static_cast<int64_t>(i) + 1;
        if (j.Deleted) {
            AddMetaElement(doc, spf::kMetaDeleted, k, 0, -1, -1);
        } else if (OwnData(state, j.TempName, 0, full, j.Address, j.Size, bytes)) {
            AddData(state, doc, GetU32(layout.Table, i * len + len - 4), bytes, k, 0);
        } else {
            continue;
        }
        progress.Step(1);
        progress.ProcessEvents();
    }
    doc.CloseElement();
}

void OpenPatch(const FirmwareState& state, const PatchDetails& d, TGmXmlNodeList& doc) {
    TGmXmlNode& patch = doc.AddOpenElement(spf::kPatch);
    patch.Attributes().SetAttribute(spf::kVersion, spf::kFormatVersion);
    TGmXmlNode& info = doc.AddOpenElement(spf::kInfo);
    info.Attributes().SetAttribute(spf::kName, d.Name);
    info.Attributes().SetAttribute(spf::kGroup, "");
    info.Attributes().SetAttribute(spf::kVersion, d.Version);
    doc.Add(spf::kAbout).Attributes().SetAttribute(spf::kDescription, d.About);
    TGmXmlNode& author = doc.Add(spf::kAuthor);
    author.Attributes().SetAttribute(spf::kNick, d.Author);
    author.Attributes().SetAttribute(spf::kEmail, d.Email);
    author.Attributes().SetAttribute(spf::kInternet, d.Www);
    author.Attributes().SetAttribute(spf::kIcq, d.Icq);
    doc.CloseElement();
    doc.AddOpenElement(spf::kPatchData)
        .Attributes()
        .SetAttribute(spf::kFirmware, TrimBlanks(state.FirmwareDescription.Version));
}

}  // namespace

const char* CreatePatchStatusText(CreatePatchStatus status) {
    switch (status) {
        case CreatePatchStatus::OutOfMemory: return "Out of Memory!";
        case CreatePatchStatus::WriteError: return "Error while writing file!";
        case CreatePatchStatus::Ok:
        case CreatePatchStatus::NotLoaded: break;
    }
    return "";
}

std::string PatchFileName(const std::string& typed) {
    std::string name = typed;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || !SameTextNoCase(std::string_view(name).substr(dot), spf::kExtension))
        name += spf::kExtension;
    const size_t slash = name.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string out = name.substr(0, base);
    for (size_t i = base; i < name.size(); ++i) {
        out += name[i];
        if (name[i] == '.' && i + 1 < name.size() && name[i + 1] == '.') ++i;
    }
    return out;
}

int64_t ReplacementSize(const FirmwareState& state, const std::string& tempName) {
    if (tempName.empty()) return -1;
    return FileSizeOf(TempPath(state, tempName));
}

std::string ImageBytesAt(const BinFile& file, int64_t offset, size_t n) {
    std::string out(n, '\0');
    file.Read(offset, out.data(), n);
    return out;
}

// --- layouts -----------------------------------------------------------------

ImageLayout LayoutImages(const FirmwareState& state) {
    const auto& images = state.Firmware.Images;
    const uint32_t start = RegionAt(state, 0).Range.Start;
    ImageLayout layout;
    layout.Slots.resize(images.size());
    uint64_t cursor = start;
    for (size_t i = 0; i < images.size(); ++i) {
        const tImgType& img = images[i];
        if (img.Deleted || img.Link >= 0) continue;
        cursor += cursor & 1;  // every picture starts at an even offset
        ImageSlot& slot = layout.Slots[i];
        slot.Address = static_cast<uint32_t>(cursor);
        std::string head;
        // A replacement shorter than its 4-byte size header holds no picture.
        if (ReplacementDataSize(state, kCatImages, img.TempName) >= 0 &&
            ReadReplacement(state, img.TempName, 0, head) && head.size() >= 4) {
            slot.Header = GetU32(head, 0);
            cursor += head.size() - 4;
        } else {
            slot.Header = (uint32_t(img.Width) & 0xFFFF) | (uint32_t(img.Height) << 16);
            cursor += static_cast<uint64_t>(std::max<int32_t>(img.Size, 0));
        }
    }
    layout.End = cursor;
    for (size_t i = 0; i < images.size(); ++i)
        if (images[i].Deleted) layout.Slots[i] = {1, start};
    // Links last, once every slot they may share is final.
    const auto isLink = [](const tImgType& e) { return !e.Deleted && e.Link >= 0; };
    for (size_t i = 0; i < images.size(); ++i) {
        if (!isLink(images[i])) continue;
        const int64_t t = LinkEnd(images, i, isLink);
        layout.Slots[i] = t >= 0 ? layout.Slots[static_cast<size_t>(t)] : ImageSlot{1, start};
    }
    return layout;
}

int32_t SoundEntryLength(const tFirmwareDescription& description) {
    return std::max(description.SndTableLength, 8);
}

SoundLayout LayoutSounds(const FirmwareState& state) {
    const auto& sounds = state.Firmware.Sounds;
    const tFirmwareDescription& d = state.FirmwareDescription;
    const size_t len = static_cast<size_t>(SoundEntryLength(d));
    // The size field must lie inside the entry and apart from the address.
    const size_t sizeOfs = d.SndTableSizeOfs >= 4 && size_t(d.SndTableSizeOfs) + 4 <= len
                               ? static_cast<size_t>(d.SndTableSizeOfs)
                               : 4;
    SoundLayout layout;
    layout.OldTable = ImageBytesAt(*state.FirmwareFile, static_cast<uint32_t>(d.SoundTable), sounds.size() * len);
    layout.Table = layout.OldTable;
    uint64_t cursor = RegionAt(state, 1).Range.Start;
    bool hasPlaceholder = false;
    uint32_t placeholder = 0;
    for (size_t i = 0; i < sounds.size(); ++i) {
        const tSndType& s = sounds[i];
        int64_t size;
        if (s.Deleted) {
            if (hasPlaceholder) continue;
            hasPlaceholder = true;
            placeholder = static_cast<uint32_t>(cursor);
            size = kDeletedSoundPlaceholderSize;
        } else if (s.Link >= 0) {
            continue;
        } else {
            int64_t replacement = ReplacementDataSize(state, kCatSounds, s.TempName);
            size = replacement >= 0 ? replacement : std::max<int32_t>(s.Size, 0);
        }
        PutU32(layout.Table, i * len, static_cast<uint32_t>(cursor));
        PutU32(layout.Table, i * len + sizeOfs, static_cast<uint32_t>(size));
        cursor += static_cast<uint64_t>(size);
    }
    layout.End = cursor;
    for (size_t i = 0; i < sounds.size(); ++i) {
        if (!sounds[i].Deleted) continue;
        PutU32(layout.Table, i * len, placeholder);
        PutU32(layout.Table, i * len + sizeOfs, kDeletedSoundPlaceholderSize);
    }
    // Links last, once every entry they may share is final.
    const auto isLink = [](const tSndType& e) { return !e.Deleted && e.Link >= 0; };
    for (size_t i = 0; i < sounds.size(); ++i) {
        if (!isLink(sounds[i])) continue;
        const int64_t t = LinkEnd(sounds, i, isLink);
        if (t < 0) continue;
        const size_t from = static_cast<size_t>(t) * len;
        PutU32(layout.Table, i * len, GetU32(layout.Table, from));
        PutU32(layout.Table, i * len + sizeOfs, GetU32(layout.Table, from + sizeOfs));
    }
    return layout;
}

JavaLayout LayoutJava(const FirmwareState& state) {
    const auto& apps = state.Firmware.JavaApps;
    JavaLayout layout;
    const int32_t len = state.FirmwareDescription.JavaTableLength;
    if (len <= 8) return layout;  // no room for a path: the table holds no entry
    const size_t pathLen = static_cast<size_t>(len) - 8;
    layout.Table.assign(apps.size() * static_cast<size_t>(len), '\0');
    uint64_t cursor = RegionAt(state, 2).Range.Start;
    for (size_t i = 0; i < apps.size(); ++i) {
        const tJavaType& j = apps[i];
        const int64_t replacement = ReplacementDataSize(state, kCatJava, j.TempName);
        // An empty path would end the table for every reader.
        const std::string& path = replacement >= 0 && !j.NewPath.empty() ? j.NewPath : j.Path;
        int64_t size = j.Deleted ? 0 : replacement >= 0 ? replacement : std::max<int32_t>(j.Size, 0);
        const size_t at = i * static_cast<size_t>(len);
        std::memcpy(&layout.Table[at], path.data(), std::min(path.size(), pathLen));
        PutU32(layout.Table, at + pathLen, static_cast<uint32_t>(size));
        PutU32(layout.Table, at + pathLen + 4, static_cast<uint32_t>(cursor));
        cursor += static_cast<uint64_t>(size);
    }
    layout.End = cursor;
    // Entries the editor does not take (outside "E:\S100") may follow in the
    // image; left there they would point into the data laid out anew, so the
    // table is closed by an empty entry unless one is there already.
    const int64_t after = int64_t(uint32_t(state.FirmwareDescription.JavaTable)) + int64_t(layout.Table.size());
    const std::string next = ImageBytesAt(*state.FirmwareFile, after, 1);
    if (next[0] != '\0') layout.Table.append(static_cast<size_t>(len), '\0');
    return layout;
}

int32_t LanguageRegion(const FirmwareState& state, int table, int32_t lang) {
    const int32_t r = 3 + (table == 2 ? std::max(state.FirmwareDescription.LanguageCount, 0) : 0) + lang;
    return r < kRegionCount ? r : -1;
}

const std::vector<pStringType>& LanguageTable(const FirmwareState& state, int table) {
    return table == 2 ? state.Firmware.Strings2 : state.Firmware.Strings1;
}

std::vector<StringLayout> LayoutStrings(const FirmwareState& state, int table) {
    const auto& langs = LanguageTable(state, table);
    std::vector<StringLayout> layouts(langs.size());
    for (size_t j = 0; j < langs.size(); ++j) {
        const pStringType& list = langs[j];
        StringLayout& l = layouts[j];
        l.Addresses.resize(list.size());
        uint64_t cursor = RegionAt(state, LanguageRegion(state, table, static_cast<int32_t>(j))).Range.Start;
        for (size_t i = 0; i < list.size(); ++i) {
            const tStringType& s = list[i];
            l.Addresses[i] = s.Address;  // what is not laid out keeps its image address
            if (s.Deleted || s.Link != -1) continue;
            const size_t length = (s.NewText.empty() ? s.Text : s.NewText).size();
            l.Addresses[i] = static_cast<uint32_t>(cursor);
            if (!l.HasFirstEnd) {
                l.HasFirstEnd = true;
                l.FirstEnd = static_cast<uint32_t>(cursor + length);
            }
            cursor += length + 1;
        }
        l.End = cursor;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].Deleted) l.Addresses[i] = l.HasFirstEnd ? l.FirstEnd : 0;
        // Links last, once every address they may share is final.
        const auto isLink = [](const tStringType& e) { return !e.Deleted && e.Link >= 0 && e.HomeLang < 0; };
        for (size_t i = 0; i < list.size(); ++i) {
            if (!isLink(list[i])) continue;
            const int64_t t = LinkEnd(list, i, isLink);
            if (t >= 0) l.Addresses[i] = l.Addresses[static_cast<size_t>(t)];
        }
    }
    return layouts;
}

void ResolveStringLinks(const FirmwareState& state, int table, const std::vector<StringLayout>& table1,
                        std::vector<StringLayout>& layouts) {
    const auto& home = state.Firmware.Strings1;
    // Per home language: image address of a laid-out string -> its new address.
    std::vector<std::unordered_map<uint32_t, uint32_t>> moved(home.size());
    std::vector<bool> built(home.size(), false);
    const auto& langs = LanguageTable(state, table);
    for (size_t j = 0; j < langs.size() && j < layouts.size(); ++j) {
        const pStringType& list = langs[j];
        for (size_t i = 0; i < list.size(); ++i) {
            const tStringType& s = list[i];
            if (s.Deleted || s.Link < 0 || s.HomeLang < 0) continue;
            const size_t h = static_cast<size_t>(s.HomeLang);
            if (h >= home.size() || h >= table1.size()) continue;  // keeps its image address
            if (!built[h]) {
                built[h] = true;
                for (size_t m = 0; m < home[h].size(); ++m) {
                    const tStringType& t = home[h][m];
                    if (!t.Deleted && t.Link == -1) moved[h].try_emplace(t.Address, table1[h].Addresses[m]);
                }
            }
            // The shared string moves with its language's new layout; when it
            // is gone (deleted), the borrowed one reads as an empty string.
            auto it = moved[h].find(s.Address);
            if (it != moved[h].end())
                layouts[j].Addresses[i] = it->second;
            else if (table1[h].HasFirstEnd)
                layouts[j].Addresses[i] = table1[h].FirstEnd;
        }
    }
}

// --- document ----------------------------------------------------------------

void AddDataElement(TGmXmlNodeList& doc, uint32_t offset, std::string_view from, std::string_view to,
                    int64_t number, int64_t id, bool hasMeta, uint32_t meta) {
    TGmXmlAttributeList& a = doc.Add(spf::kData).Attributes();
    a.SetAttribute(spf::kOffset, HexStr(offset));
    a.SetAttribute(spf::kNumber, std::to_string(number));
    a.SetAttribute(spf::kId, std::to_string(id));
    if (hasMeta) a.SetAttribute(spf::kMetaColor, HexStr(meta));
    a.SetAttribute(spf::kFrom, BytesToHex(from));
    a.SetAttribute(spf::kTo, BytesToHex(to));
}

void AddMetaElement(TGmXmlNodeList& doc, std::string_view type, int64_t number, int64_t id, int64_t linkTo,
                    int64_t linkTbl) {
    TGmXmlAttributeList& a = doc.Add(spf::kMeta).Attributes();
    a.SetAttribute(spf::kType, type);
    a.SetAttribute(spf::kNumber, std::to_string(number));
    a.SetAttribute(spf::kId, std::to_string(id));
    if (linkTo >= 0) a.SetAttribute(spf::kLinkTo, std::to_string(linkTo));
    if (linkTbl >= 0) a.SetAttribute(spf::kLinkTbl, std::to_string(linkTbl));
}

void AddLanguageResource(const FirmwareState& state, TGmXmlNodeList& doc, int table, int32_t lang,
                         const StringLayout& layout, bool full, ProgressSink& progress) {
    const pStringType& list = LanguageTable(state, table)[static_cast<size_t>(lang)];
    const auto& headers = table == 2 ? state.Firmware.LangHeaders2 : state.Firmware.LangHeaders1;
    TGmXmlNode& r = OpenResource(doc, PatchKind::Languages, full);
    r.Attributes().SetAttribute(spf::kTable, std::to_string(table));
    r.Attributes().SetAttribute(spf::kNumber, std::to_string(lang + 1));
    std::string pointers(list.size() * 4, '\0');
    for (size_t i = 0; i < list.size(); ++i) PutU32(pointers, 4 * i, layout.Addresses[i]);
    const uint32_t tableAddr = static_cast<size_t>(lang) < headers.size() ? headers[lang].TableAddr : 0;
    AddData(state, doc, tableAddr, pointers, 0, 0);
    progress.SetRange(static_cast<int64_t>(list.size()));
    progress.SetPosition(0);
    for (size_t i = 0; i < list.size(); ++i) {
        const tStringType& s = list[i];
        const int64_t k = static_cast<int64_t>(i) + 1;
        if (s.Deleted) {
            AddMetaElement(doc, spf::kMetaDeleted, k, 0, -1, -1);
        } else if (s.Link >= 0) {
            AddMetaElement(doc, spf::kMetaLink, k, 0, s.Link, s.HomeLang);
        } else if (!s.NewText.empty() || full) {
            std::string to = (s.NewText.empty() ? s.Text : s.NewText) + std::string(1, '\0');
            AddData(state, doc, layout.Addresses[i], to, k, 0);
        } else {
            continue;
        }
        progress.Step(1);
        progress.ProcessEvents();
    }
    doc.CloseElement();
}

// --- creation ----------------------------------------------------------------

CreatePatchResult BuildPatchDocument(const FirmwareState& state, const CreatePatchOptions& options, TGmXML& doc,
                                     ProgressSink& progress) {
    CreatePatchResult result;
    result.FileName = PatchFileName(options.FileName);
    doc.Nodes().Clear();
    if (!state.FirmwareLoaded || !state.FirmwareFile || state.Firmware.Regions.size() != size_t(kRegionCount)) {
        result.Status = CreatePatchStatus::NotLoaded;
        return result;
    }
    auto outOfMemory = [&](int32_t region) {
        doc.Nodes().Clear();
        result.Status = CreatePatchStatus::OutOfMemory;
        result.Region = region;
        return result;
    };

    // Every layout and space check comes first, so a failure leaves nothing
    // half-built and no file touched.
    ImageLayout images;
    SoundLayout sounds;
    JavaLayout java;
    std::vector<StringLayout> strings[2];
    switch (options.Kind) {
        case PatchKind::Pictures:
            images = LayoutImages(state);
            if (!Fits(state, 0, images.End)) return outOfMemory(0);
            break;
        case PatchKind::Sounds: {
            sounds = LayoutSounds(state);
            if (!Fits(state, 1, sounds.End)) return outOfMemory(1);
            break;
        }
        case PatchKind::Java:
            java = LayoutJava(state);
            if (!Fits(state, 2, java.End)) return outOfMemory(2);
            break;
        case PatchKind::Languages:
            for (int t = 1; t <= 2; ++t) {
                strings[t - 1] = LayoutStrings(state, t);
                ResolveStringLinks(state, t, strings[0], strings[t - 1]);
                for (size_t j = 0; j < strings[t - 1].size(); ++j) {
                    const int32_t r = LanguageRegion(state, t, static_cast<int32_t>(j));
                    const StringLayout& l = strings[t - 1][j];
                    // Without a region of its own a language has nowhere to go.
                    if (r < 0) {
                        if (l.HasFirstEnd) return outOfMemory(-1);
                        continue;
                    }
                    if (!Fits(state, r, l.End)) return outOfMemory(r);
                }
            }
            break;
        case PatchKind::None: break;
    }

    TGmXmlNodeList& nodes = doc.Nodes();
    OpenPatch(state, options.Details, nodes);
    switch (options.Kind) {
        case PatchKind::Pictures: AddPictures(state, nodes, images, options.Full, progress); break;
        case PatchKind::Sounds: AddSounds(state, nodes, sounds, options.Full, progress); break;
        case PatchKind::Java: AddJava(state, nodes, java, options.Full, progress); break;
        case PatchKind::Languages:
            for (int t = 1; t <= 2; ++t)
                for (size_t j = 0; j < strings[t - 1].size(); ++j)
                    AddLanguageResource(state, nodes, t, static_cast<int32_t>(j), strings[t - 1][j], options.Full,
                                        progress);
            break;
        case PatchKind::None: break;
    }
    nodes.CloseElement();  // patchdata
    nodes.CloseElement();  // patch
    return result;
}

CreatePatchResult CreatePatch(const FirmwareState& state, const CreatePatchOptions& options,
                              ProgressSink& progress) {
    TGmXML doc;
    CreatePatchResult result = BuildPatchDocument(state, options, doc, progress);
    if (result.Status != CreatePatchStatus::Ok) return result;
    if (Status saved = doc.SaveFile(result.FileName); !saved) {
        result.Status = CreatePatchStatus::WriteError;
        result.Error = saved.Error();
    }
    return result;
}

}  // namespace flashsmith::patches
