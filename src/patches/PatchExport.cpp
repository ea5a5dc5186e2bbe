#include "patches/PatchExport.h"

#include <algorithm>
#include <span>

#include "base/FileUtil.h"
#include "patches/CreatePatch.h"

namespace flashsmith::patches {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::srecord;

namespace {

uint32_t GetU32(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

void SortBlocks(std::vector<tPatchBin>& blocks) {
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const tPatchBin& a, const tPatchBin& b) { return a.Address < b.Address; });
}

bool WriteBlocks(const std::vector<tPatchBin>& blocks, S3Output& out, ProgressSink& progress,
                 uint64_t* written) {
    for (const tPatchBin& b : blocks) {
        if (b.Address < 0 || b.Bytes.empty()) continue;
        // An S3 address has 32 bits; a block that cannot be addressed whole
        // is refused rather than written at a wrapped address.
        if (b.Address > 0xFFFFFFFFll) return false;
        std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(b.Bytes.data()), b.Bytes.size());
        if (!WriteS3Block(out, bytes, static_cast<uint32_t>(b.Address), progress)) return false;
        if (written) *written += b.Bytes.size();
        progress.ProcessEvents();
    }
    return !out.Failed();
}

// The open firmware's current bytes of entry index of a kind.
std::string FirmwareEntryBytes(const FirmwareState& state, PatchResourceType kind, const pStringType* strings,
                               size_t index) {
    const auto& fw = state.Firmware;
    const BinFile& file = *state.FirmwareFile;
    auto bytesAt = [&](int64_t address, int32_t size) {
        return std::string(file.View(address, static_cast<size_t>(std::max(size, 0))));
    };
    switch (kind) {
        case PatchResourceType::Img: {
            if (index >= fw.Images.size()) return {};
            const tImgType* img = &fw.Images[index];
            if (img->Link >= 0 && static_cast<size_t>(img->Link) < fw.Images.size()) img = &fw.Images[img->Link];
            return img->Address < 0 ? std::string() : bytesAt(img->Address, img->Size);
        }
        case PatchResourceType::Snd:
            return index < fw.Sounds.size() ? bytesAt(fw.Sounds[index].Address, fw.Sounds[index].Size) : std::string();
        case PatchResourceType::Java:
            return index < fw.JavaApps.size() ? bytesAt(fw.JavaApps[index].Address, fw.JavaApps[index].Size)
                                              : std::string();
        case PatchResourceType::Lng:
            // As the layout counts it: the stored text and its zero.
            return strings && index < strings->size() ? (*strings)[index].Text + std::string(1, '\0') : std::string();
        case PatchResourceType::Unknown: break;
    }
    return {};
}

}  // namespace

const char* PatchExportStatusText(PatchExportStatus status) {
    switch (status) {
        case PatchExportStatus::NoSelectedData: return "No Selected Data!";
        case PatchExportStatus::OpenFirmware: return "Open Firmware!";
        case PatchExportStatus::Ok:
        case PatchExportStatus::OutputFailed: break;
    }
    return "";
}

std::vector<tPatchBin> FullResourceBlocks(const PatchResource& resource) {
    std::vector<tPatchBin> blocks;
    for (const PatchElement& e : resource.elements) {
        if (e.kind != PatchElement::Kind::Data || !e.offset.present || !e.to) continue;
        tPatchBin b;
        b.Address = e.offset.Or(0);
        if (!e.ToBytes(&b.Bytes) || b.Bytes.empty()) continue;
        blocks.push_back(std::move(b));
    }
    SortBlocks(blocks);
    return blocks;
}

std::vector<tPatchBin> PartialResourceBlocks(const PatchResource& resource, PatchResourceType kind,
                                             const FirmwareState& state) {
    std::vector<tPatchBin> blocks;
    const tFirmwareDescription& d = state.FirmwareDescription;
    size_t entry = 0, addressAt = 0;
    switch (kind) {
        case PatchResourceType::Img: entry = 8, addressAt = 4; break;
        case PatchResourceType::Snd: entry = static_cast<size_t>(SoundEntryLength(d)); break;
        case PatchResourceType::Java:
            if (d.JavaTableLength > 8) entry = static_cast<size_t>(d.JavaTableLength), addressAt = entry - 4;
            break;
        case PatchResourceType::Lng: entry = 4; break;
        case PatchResourceType::Unknown: return blocks;
    }
    const PatchElement* table = resource.TableElement();
    if (!table || !table->to) return blocks;
    int64_t placeholderFor = 0;  // D: the first deleted sound, 0 = none
    if (kind == PatchResourceType::Snd)
        for (const PatchElement& e : resource.elements)
            if (e.kind == PatchElement::Kind::Meta && e.metaType == PatchMetaType::Deleted && e.number.value) {
                placeholderFor = *e.number.value;
                break;
            }

    tPatchBin head;
    head.Address = table->offset.Or(-1);
    table->ToBytes(&head.Bytes);
    const size_t n = entry ? head.Bytes.size() / entry : 0;
    blocks.resize(n + 1);
    for (size_t k = 1; k <= n; ++k) blocks[k].Address = GetU32(head.Bytes, (k - 1) * entry + addressAt);
    blocks[0] = std::move(head);
    const auto inRange = [n](int64_t k) { return k >= 1 && static_cast<uint64_t>(k) <= n; };

    for (const PatchElement& e : resource.elements) {
        if (e.kind == PatchElement::Kind::Meta) {
            if (!e.number.present || !e.type || e.metaType == PatchMetaType::Unknown) continue;
            const int64_t k = e.number.Or(0);
            if (inRange(k) && k != placeholderFor) blocks[static_cast<size_t>(k)].Address = -1;
            continue;
        }
        if (&e == table || !e.number.present || !e.offset.present || !e.to) continue;
        int64_t k = e.number.Or(0);
        if (k == spf::kPlaceholderNumber) k = placeholderFor;
        if (!inRange(k)) continue;
        tPatchBin& b = blocks[static_cast<size_t>(k)];
        if (e.offset.Or(0) == b.Address) e.ToBytes(&b.Bytes);
    }

    const pStringType* strings = nullptr;
    if (kind == PatchResourceType::Lng && resource.table.value && resource.number.value) {
        const auto& langs = *resource.table.value == 2 ? state.Firmware.Strings2 : state.Firmware.Strings1;
        const int64_t lang = *resource.number.value - 1;
        if ((*resource.table.value == 1 || *resource.table.value == 2) && lang >= 0 &&
            static_cast<uint64_t>(lang) < langs.size())
            strings = &langs[static_cast<size_t>(lang)];
    }
    if (state.FirmwareFile)
        for (size_t k = 1; k <= n; ++k)
            if (blocks[k].Address >= 0 && blocks[k].Bytes.empty())
                blocks[k].Bytes = FirmwareEntryBytes(state, kind, strings, k - 1);
    SortBlocks(blocks);
    return blocks;
}

bool ExportFullResource(const PatchResource& resource, S3Output& out, ProgressSink& progress,
                        uint64_t* written) {
    const std::vector<tPatchBin> blocks = FullResourceBlocks(resource);
    uint64_t total = 0;
    for (const tPatchBin& b : blocks) total += b.Bytes.size();
    progress.SetRange(static_cast<int64_t>(total) + 1);
    progress.SetPosition(0);
    return WriteBlocks(blocks, out, progress, written);
}

bool ExportPartialResource(const PatchResource& resource, PatchResourceType kind, const FirmwareState& state,
                           S3Output& out, ProgressSink& progress, uint64_t* written) {
    const std::vector<tPatchBin> blocks = PartialResourceBlocks(resource, kind, state);
    uint64_t total = 0;
    for (const tPatchBin& b : blocks) total += b.Address >= 0 ? b.Bytes.size() : 0;
    progress.SetRange(static_cast<int64_t>(total) + 1);
    progress.SetPosition(0);
    return WriteBlocks(blocks, out, progress, written);
}

namespace {

bool Loaded(const FirmwareState* state) { return state && state->FirmwareLoaded && state->FirmwareFile; }

// Without a firmware only full resources can be exported.
PatchExportStatus Check(const std::vector<const PatchResource*>& selected, const FirmwareState* state) {
    if (Loaded(state)) return PatchExportStatus::Ok;
    size_t withData = 0, partial = 0;
    for (const PatchResource* r : selected) {
        withData += r->node && r->node->Children().Count() > 0;
        partial += !r->binary && (r->convert == PatchConvert::Part || r->convert == PatchConvert::Absent);
    }
    if (withData == 0) return PatchExportStatus::NoSelectedData;
    if (partial > 0) return PatchExportStatus::OpenFirmware;
    return PatchExportStatus::Ok;
}

}  // namespace

PatchExportStatus CheckPatchExport(const std::vector<const PatchResource*>& selected, const FirmwareState* state) {
    return Check(selected, state);
}

PatchExportResult ExportPatchToS3(const std::vector<const PatchResource*>& selected, const FirmwareState* state,
                                  S3Output& out, ProgressSink& progress) {
    PatchExportResult result;
    result.Status = Check(selected, state);
    if (result.Status != PatchExportStatus::Ok) return result;
    out.PutHeader();
    for (const PatchResource* r : selected) {
        if (r->binary || !r->node || r->node->Children().Count() == 0) continue;
        bool ok;
        if (r->convert == PatchConvert::Part) {
            // A partial resource of no known kind cannot be completed.
            if (r->type == PatchResourceType::Unknown) continue;
            ok = ExportPartialResource(*r, r->type, *state, out, progress, &result.DataBytes);
        } else {
            ok = ExportFullResource(*r, out, progress, &result.DataBytes);
        }
        if (!ok) {
            result.Status = PatchExportStatus::OutputFailed;
            result.Error = out.Failed() ? "the output could not be written"
                                        : "a block runs past the 32-bit S-record address space";
            return result;
        }
        ++result.Resources;
    }
    out.PutEnd();
    progress.SetPosition(0);
    return result;
}

PatchExportResult ExportPatchToS3(const std::vector<const PatchResource*>& selected, const FirmwareState* state,
                                  const std::string& outPath, ProgressSink& progress) {
    PatchExportResult result;
    result.Status = Check(selected, state);
    if (result.Status != PatchExportStatus::Ok) return result;
    std::string error;
    const bool written = WriteFileAtomic(
        outPath,
        [&](std::FILE* f) {
            S3Output out(f);
            result = ExportPatchToS3(selected, state, out, progress);
            return out.Flush() && result.Status == PatchExportStatus::Ok;
        }).Ok(&error);
    if (!written && result.Status == PatchExportStatus::Ok) {
        result.Status = PatchExportStatus::OutputFailed;
        result.Error = error;
    }
    return result;
}

}  // namespace flashsmith::patches
