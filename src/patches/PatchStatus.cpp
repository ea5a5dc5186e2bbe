#include "patches/PatchStatus.h"

#include <cstring>

namespace flashsmith::patches {
using namespace flashsmith::firmware;

namespace {

void Measure(const PatchResource& resource, const BinFile& image, PatchStatus& s) {
    if (resource.binary) return;
    std::string to;
    for (const PatchElement& e : resource.elements) {
        if (e.kind != PatchElement::Kind::Data || !e.offset.value || !e.ToBytes(&to) || to.empty()) continue;
        ++s.Elements;
        s.Bytes += to.size();
        const int64_t at = *e.offset.value;
        if (image.Has(at, static_cast<int64_t>(to.size())) &&
            std::memcmp(image.Data() + at, to.data(), to.size()) == 0) {
            ++s.MatchingElements;
            s.MatchingBytes += to.size();
        }
    }
}

}  // namespace

PatchStatus GetPatchStatus(const PatchContents& patch, const BinFile& image, std::string_view firmwareVersion) {
    PatchStatus s;
    for (const PatchDataSection& section : patch.sections) s.Fits |= PatchFitsFirmware(section, firmwareVersion);
    for (const PatchDataSection& section : patch.sections) {
        if (s.Fits && !PatchFitsFirmware(section, firmwareVersion)) continue;
        for (const PatchResource& r : section.resources) Measure(r, image, s);
    }
    if (s.Elements > 0 && s.MatchingElements == s.Elements)
        s.Installed = PatchInstalled::Yes;
    else if (s.MatchingElements > 0)
        s.Installed = PatchInstalled::Partly;
    return s;
}

const char* PatchInstalledText(PatchInstalled installed) {
    switch (installed) {
        case PatchInstalled::Yes: return "Yes";
        case PatchInstalled::Partly: return "Partly";
        case PatchInstalled::No: return "No";
    }
    return "No";
}

}  // namespace flashsmith::patches
