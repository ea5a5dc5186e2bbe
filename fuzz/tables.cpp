// The open's table reader on a window image: a description text, then chunks
// of image bytes placed at their offsets in an otherwise zero image. The seeds
// hold the demo image's table regions and the data they point at, so every
// execution stays small while the tables look like a real image's.
#include <algorithm>

#include "FuzzInput.h"
#include "firmware/Firmware.h"
#include "firmware/Images.h"

using namespace flashsmith::firmware;

namespace {

// Chunks may land anywhere in the first 4 MiB.
constexpr uint32_t kOffsetMask = (1u << 22) - 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fsfuzz::FuzzInput in(data, size);
    const std::string ini(in.Take(in.Le(2)));
    // Two passes over the chunks: the image is allocated once, at its size.
    size_t end = 0;
    for (fsfuzz::FuzzInput scan = in; !scan.Empty();) {
        const uint32_t at = scan.Le(3) & kOffsetMask;
        end = std::max(end, at + scan.Take(scan.Le(2)).size());
    }
    // One buffer for every run: a fresh megabyte-sized image per run would
    // cost more in page faults than the tables cost to read.
    static std::string buffer(kOffsetMask + 1 + 0xFFFF, '\0');
    std::fill_n(buffer.begin(), end, '\0');
    while (!in.Empty()) {
        const uint32_t at = in.Le(3) & kOffsetMask;
        const std::string_view bytes = in.Take(in.Le(2));
        buffer.replace(at, bytes.size(), bytes);
    }

    FirmwareState st;
    st.FirmwareFile = BinFile::FromView(std::string_view(buffer).substr(0, end));
    const IniFile description = IniFile::Parse(ini);
    ReadDescription(st, description);
    if (!ParseTables(st, description).Ok) return 0;

    // Draw a few pictures as the viewer does.
    static Picture target(321, 321);
    size_t drawn = 0;
    for (const tImgType& img : st.Firmware.Images) {
        if (img.Link >= 0) continue;
        if (drawn++ == 4) break;
        DecodePicture(img.Kind, *st.FirmwareFile, img.Address, img.Width, img.Height, target);
    }
    return 0;
}
