#include "firmware/PictureFile.h"

#include "base/FileUtil.h"

namespace flashsmith {

bool LoadPictureFile(const std::string& path, Picture& out, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes).Ok(error)) return false;
    std::string why;
    bool ok;
    const auto starts = [&bytes](std::string_view magic) { return std::string_view(bytes).substr(0, magic.size()) == magic; };
    if (starts("BM"))
        ok = LoadBmpBytes(bytes, out, &why);
    else if (starts("\xFF\xD8"))
        ok = LoadJpegBytes(bytes, out, &why);
    else if (starts("\x89PNG"))
        ok = LoadPngBytes(bytes, out, &why);
    else if (starts("GIF8"))
        ok = LoadGifBytes(bytes, out, &why);
    else {
        ok = false;
        why = "not a Windows bitmap, JPEG, PNG or GIF file";
    }
    if (!ok && error) *error = path + ": " + why;
    return ok;
}

}  // namespace flashsmith
